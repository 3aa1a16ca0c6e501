// Which request a received message answers.
//
// While a request waits, other messages may reach the driver too: a
// controller's active message, an answer that came after its request had
// timed out, the gateway's echo of the frames it carries. Only the waiting
// request's own answer may end the wait: a message comes from the station the
// frame went to, and its first item (after the routing header and any "L"/"R"
// routing items) is the "E" error item or the item of the command the frame
// carried:
//   "B", "C", "A", "K", "b", "k"   the same letter and the same mask;
//   "N", "n"                        the same letter and the same address;
//   "QQ" (write)                    "QQ" or "QX";
//   "Qq" (read)                     "Qq" or "Qx" with one 4-byte value for
//                                   every 3-byte descriptor of the frame;
//   "QN" (sample block)             "QN" with the same kind and address.
#ifndef ZL_PROTOCOL_ANSWERPAIRING_H
#define ZL_PROTOCOL_ANSWERPAIRING_H

#include "config/GlobalSettings.h"
#include "util/Text.h"

namespace zl {

// message: from the byte after PREFIX through the checksum; frame: a whole
// request frame as sent (PREFIX .. SUFFIX).
bool AnswersFrame(const GlobalSettings &global, const Str255 &message, const Str255 &frame);

// The frame the driver sent came back: message is the frame without its
// PREFIX and SUFFIX.
bool EchoOf(const GlobalSettings &global, const Str255 &message, const Str255 &frame);

// The station address a message names: offset 5 of a "Y"/"y"-typed message,
// offset 0 of any other. 0 for a message too short to name one.
uint8_t NamedAddress(const Str255 &message);

}  // namespace zl

#endif  // ZL_PROTOCOL_ANSWERPAIRING_H
