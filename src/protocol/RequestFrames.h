// ZL2 request frames: one queued request turned into the bytes the polling
// cycle sends.
//
//   PREFIX | RETRANSLATION LEN 'Y' own-ADDRESS station-ADDRESS own-ADDRESS
//          | command | PRESUFFIX | XOR | SUFFIX
//
// LEN counts the bytes after it up to and including the checksum; the
// checksum is the exclusive-or of everything from RETRANSLATION to the last
// byte of PRESUFFIX, LEN included. PREFIX and SUFFIX stay outside it. Every
// step is cut at 255 bytes. Addresses and 16-bit values in commands are sent
// low byte first.
#ifndef ZL_PROTOCOL_REQUESTFRAMES_H
#define ZL_PROTOCOL_REQUESTFRAMES_H

#include <cstdint>

#include "config/GlobalSettings.h"
#include "core/DriverInstance.h"
#include "core/QueuedRequest.h"
#include "util/Bits.h"
#include "util/Text.h"

namespace zl {

// Completes a frame: body holds everything from RETRANSLATION through
// PRESUFFIX, with a placeholder at offset 1. Sets LEN there, appends the
// exclusive-or and puts PREFIX before and SUFFIX after.
Str255 AssembleFrame(const GlobalSettings &global, Str255 body);

// The frame of request, or an empty frame when the request cannot be coded:
// a group whose count rules it out, a missing memory block, an element type
// outside 1..6, an unknown kind, and also a Station outside 1..StationCount or
// an Index outside its object list. Always writes the "CodeMess" debug line.
// Reads the station's output values under di.DataLock: call it without
// holding that lock.
Str255 BuildRequestFrame(DriverInstance &di, const QueuedRequest &request);

}  // namespace zl

#endif  // ZL_PROTOCOL_REQUESTFRAMES_H
