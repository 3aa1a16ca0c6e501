// The requests of one QQ variable: its reads (InputRequest) and writes
// (OutputRequest).
#ifndef ZL_EXCHANGE_VARIABLEREQUESTS_H
#define ZL_EXCHANGE_VARIABLEREQUESTS_H

#include <cstdint>

#include "core/Station.h"

namespace zl {

struct DriverInstance;

enum class VariableRequest : uint8_t { Read, Write };

// Read: a kind-16 request on the SecondaryQueue whose Data is the variable's
// three address bytes; a STRING variable, eight of them, the third byte
// counting up from its own (modulo 256) for its eight 4-character parts.
// Write: a kind-15 request on the PrimaryQueue whose Data is the three
// address bytes and the value's 4 bytes, little-endian (the numeric value
// truncated for BYTE, WORD, INTEGER and CARDINAL, the second runtime value for
// LONGINT, the IEEE single for REAL); a STRING variable queues nothing.
// The value is the variable's run-time value in its station.
// Takes di.DataLock to read the value; call it without holding it.
void QueueVariableRequest(DriverInstance &di, const QqVariable &variable, const QqValue &value,
                          uint8_t stationNo, VariableRequest mode);

}  // namespace zl

#endif  // ZL_EXCHANGE_VARIABLEREQUESTS_H
