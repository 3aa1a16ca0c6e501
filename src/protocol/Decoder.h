// Decoding of one received ZL2 message into the addressed station's values,
// counters and flags, the event line that shows it, and the acknowledgment
// that an active message or a control error asks for.
//
// Positions count from 1 over the message (the byte after PREFIX through the
// checksum). A "Y"/"y"-typed message must carry the driver's ADDRESS at
// position 1 and names its station at position 6; any other type names it at
// position 1. Items start at position 3 (the type letter opens the routing
// header item) and are walked until the byte before the checksum.
//
// Every read is bounded by the message: an item whose bytes do not all lie
// before the checksum ends the walk without any effect of its own, and
// nothing is written outside the station's lists, the sample table or the
// host's sample buffer.
//
// Communication thread. Values are written under di.DataLock, the
// acknowledgment due under the cycle state's lock after it; debug lines are
// written after both are released.
#ifndef ZL_PROTOCOL_DECODER_H
#define ZL_PROTOCOL_DECODER_H

#include <cstdint>
#include <string>

#include "core/DriverInstance.h"
#include "util/Text.h"

namespace zl {

// 1 when the message was decoded; 0 when it is not addressed to the driver,
// names no configured station, or is too short to name one (then nothing
// changes). Sets PendingEvent; an acknowledgment it asks for becomes
// FollowUpFrame (FollowUpPending), or waits in MoreFollowUps behind one that
// is already due.
int DecodeResponse(DriverInstance &di, const Str255 &message, const Str255 &requestFrame)
    REQUIRES(di.CommThreadRole);

// The text of an "E" item's error number, Windows-1250: the controllers'
// texts for 0..8, a neutral one for any other number.
const std::string &ErrorItemText(uint8_t number);

// The frame that acknowledges message (an active message or a control error):
// a "Y"-typed message is answered with its routing turned round, type "y",
// the same items and a new checksum; any other message is sent back as it
// came. PREFIX and SUFFIX around it.
Str255 AcknowledgmentFrame(const GlobalSettings &global, const Str255 &message);

}  // namespace zl

#endif  // ZL_PROTOCOL_DECODER_H
