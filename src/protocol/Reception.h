// Reception of ZL2 messages from the gateway's byte stream, and the store of
// received messages waiting to be decoded.
//
// A message as received, from the first byte after PREFIX:
//   first byte | LEN | type letter | ... | checksum
// LEN counts the bytes after it through the checksum; the checksum is the
// exclusive-or of every byte before it. A "Y"/"y"-typed message is kept only
// when its first byte is the driver's own ADDRESS; other types are kept
// whatever their first byte.
//
// Everything here runs on the communication thread. The reception state
// (PrefixWindow, MessageBuffer), LastRequestFrame and the counters are the
// cycle state's (di.Polling), under its lock, because the host's thread
// empties them on a reset; the store (di.Received) takes its own lock after
// it. No debug line is written while a lock is held.
#ifndef ZL_PROTOCOL_RECEPTION_H
#define ZL_PROTOCOL_RECEPTION_H

#include <string_view>

#include "core/DriverInstance.h"
#include "core/LineClient.h"

namespace zl {

// A message is at most 255 bytes, LEN and the two bytes before it included;
// a LEN outside 2..253 cannot make one (below 2 there is no type letter).
constexpr uint8_t kMinMessageLen = 2;
constexpr uint8_t kMaxMessageLen = 253;

// One step of reception; at most one of its phases runs per call:
//   hunt  - while PrefixWindow is not PREFIX: one byte into the window, which
//           keeps only the last length-of-PREFIX bytes;
//   start - PREFIX matched, nothing assembled: the first two bytes (the first
//           byte and LEN), PrefixCount + 1;
//   body  - once LEN bytes wait: the rest, then the checksum and the addressee
//           tests; a good message is stored. The state is emptied either way,
//           so the next call hunts again.
// A LEN that cannot make a message empties the state at once. The driver's
// own frames coming back, and messages that name no configured station, are
// dropped and counted (StrayCount). While a request waits (AwaitingAnswer),
// a message that is not its answer (AnswersFrame) is stored with an empty
// request frame, to be decoded as the controller's own message, and counted
// (UnpairedCount). Answers true when a message was stored as the answer to
// LastRequestFrame in this call (on an idle line: any message stored).
bool ReceiveStep(DriverInstance &di, LineClient &client);

// Runs ReceiveStep again and again while the waiting bytes let a phase
// advance, so that a message that has arrived whole is assembled in one call
// instead of one phase per call. Stops after the first message stored (paired
// or not: a controller's own message is decoded before the next one is
// taken). Answers as ReceiveStep does for the call that stored it.
bool ReceiveWhatWaits(DriverInstance &di, LineClient &client);

// Appends the message to the store with LastRequestFrame as its request
// frame, then empties LastRequestFrame (a second answer to the same frame is
// stored with an empty one).
void StoreMessage(DriverInstance &di, std::string_view message);

// Decodes the oldest stored message and drops it; nothing when the store is
// empty. One message per call.
void ExtractStep(DriverInstance &di) REQUIRES(di.CommThreadRole);

// Empties PrefixWindow and MessageBuffer: the next step hunts for PREFIX.
void ResetReception(DriverInstance &di);

}  // namespace zl

#endif  // ZL_PROTOCOL_RECEPTION_H
