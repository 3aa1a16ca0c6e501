// The host's sample buffer (buffer number 0xFFFC): a block of host memory the
// driver uses as a progress display of sample-memory transfers.
//
// Layout, little-endian, offsets in bytes:
//    0 u16  not used                     2 u16  values in a row: 8
//    4 u32  rows: 528                    8 u32  rows received
//   12 u32  not used                    16 u32  not used
//   20 u16  not used                    22 u16  9 (initial value only)
//   24 u32  transfer status: 0 none since initialisation, 1 started,
//           2 row 528 received
//   28 u16  not used                    30 single 300.0 (initial value only)
//   34      528 rows x 8 cells x u32, cleared at initialisation
//
// The host announces the block as 16862 bytes while the full layout spans
// 16930: the driver writes nothing past the 16862 bytes, so only the cells
// that fit there (rows 1..525 and 7 cells of row 526) are cleared.
#ifndef ZL_CORE_SAMPLEBUFFER_H
#define ZL_CORE_SAMPLEBUFFER_H

#include <cstddef>
#include <cstdint>

#include "core/SampleState.h"
#include "util/ThreadSafety.h"

namespace zl {

constexpr uint32_t kSampleBufferNumber = 0xFFFC;
constexpr uint8_t kSampleBufferType = 9;
constexpr uint16_t kSampleBufferSize = 16862;  // what the host announces and provides

// Offsets of the fields the driver writes after initialisation.
constexpr std::size_t kSampleBufferRowsReceived = 8;
constexpr std::size_t kSampleBufferStatus = 24;
constexpr std::size_t kSampleBufferCells = 34;

enum SampleTransferStatus : uint32_t {
  kTransferNone = 0,
  kTransferStarted = 1,
  kTransferComplete = 2
};

// BufferInfo: true exactly for number 0xFFFC, type 9, size 16862.
bool SampleBufferAccepted(uint32_t number, uint8_t type, uint16_t size);

// SetBufferAddr for 0xFFFC: keeps block as SampleBufferAddress and
// initialises its header and the cells that fit; a null block withdraws the
// buffer (nothing is written to host memory any more). Takes the sample
// state's lock.
void InitSampleBuffer(SampleState &sample, void *block) EXCLUDES(sample.Lock);

// The progress fields, for the writers during a transfer. Both write nothing
// while the host has given no block. Call them with the sample state's lock
// held (it guards the address).
//   A transfer starts: rows received := 0, status := 1.
void SampleBufferTransferStarted(SampleState &sample) REQUIRES(sample.Lock);
//   Rows up to lastRow are stored: rows received := lastRow, and status := 2
//   when lastRow is 528.
void SampleBufferRowsStored(SampleState &sample, uint32_t lastRow) REQUIRES(sample.Lock);

}  // namespace zl

#endif  // ZL_CORE_SAMPLEBUFFER_H
