// The controllers' sample memory: the transfer of a station's 528 sample rows
// into the sample state's table (88 block reads of 6 rows), and the sample file written
// from the table.
#ifndef ZL_EXCHANGE_SAMPLEMEMORY_H
#define ZL_EXCHANGE_SAMPLEMEMORY_H

#include <cstdint>
#include <string>

#include "util/Encodings.h"

namespace zl {

struct DriverInstance;

constexpr int kSampleBlocks = 88;                // block reads of a whole transfer
constexpr uint16_t kSampleMemoryStart = 0x8000;  // controller address of row 1
constexpr int kSampleBlockBytes = 186;           // 6 rows of 31 bytes
constexpr int kSampleFileRowBytes = 31;          // a row without the slots' length bytes

// Every row back to its cleared state (bytes 0..6 zero, each value slot
// length 3 with the 3-byte real 0). Takes the sample state's lock.
void ClearSampleTable(DriverInstance &di);

// The request kind of a sample block read: 72, 76, 80 for sample blocks 1, 2,
// 3, or 136, 140, 144 with the alternative kinds.
uint8_t SampleRequestKind(uint8_t sampleBlock, uint8_t altKinds);

// Unless the selected station is 0 or above StationCount: the transfer's
// station := the selected one, Busy := 1, the 88 block reads on the SecondaryQueue
// (addresses 0x8000, 0x80BA, .. 0xBF36), and the buffer's progress reset. The
// communication thread is not woken.
void StartSampleTransfer(DriverInstance &di);

// Writes the 528 rows (31 bytes each, 16368 bytes) to CUC_PATH + the name
// taken from the time stamp of row 1 (row 2 when the transfer's station has QQ
// variables). FileWritten := 1 when every byte reached the file, else 0.
void WriteSampleFile(DriverInstance &di);

}  // namespace zl

#endif  // ZL_EXCHANGE_SAMPLEMEMORY_H
