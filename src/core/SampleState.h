// The sample state: the sample memory's rows (528 rows of 39 bytes that the
// controllers' sample blocks fill and the host reads or has written to a
// file), the host's choices for the next transfer, the transfer's progress and
// the host's sample buffer, with the mutex that guards them all.
//
// The host's thread selects, starts a transfer, reads rows and writes the
// file; the communication thread stores the blocks as they come. Every field
// is read and written with Lock held. Where the driver's DataLock is needed
// too (a station's record beside the rows), DataLock is taken first (the
// order is written where the locks are declared, core/DriverInstance.h).
#ifndef ZL_CORE_SAMPLESTATE_H
#define ZL_CORE_SAMPLESTATE_H

#include <bitset>
#include <cstdint>
#include <memory>

#include "util/ThreadSafety.h"

namespace zl {

constexpr int kSampleRows = 528;
constexpr int kSampleRowSize = 39;  // 6 time stamp bytes, status, 8 x (length + 3-byte real)

struct SampleRow {
  uint8_t Bytes[kSampleRowSize] = {};
};

// Clears the 528 sample rows: bytes 0..6 zero, each value slot of length 3
// holding 00 00 00 (the 3-byte real 0.0).
void ClearSampleRows(SampleRow *rows);

struct SampleState {
  SampleState() = default;
  SampleState(const SampleState &) = delete;
  SampleState &operator=(const SampleState &) = delete;

  // The state a freshly loaded driver starts from: a cleared table, station,
  // block and row 1, no transfer marked busy.
  void Reset() EXCLUDES(Lock);

  // Clears the rows (nothing while no table exists).
  void ClearTable() EXCLUDES(Lock);

  // The row RowIndex selects; null when there is none.
  const uint8_t *SelectedRow() const REQUIRES(Lock);

  mutable Mutex Lock;

  std::unique_ptr<SampleRow[]> Table GUARDED_BY(Lock);  // rows 1..528 at [0..527]
  uint8_t StationNumber GUARDED_BY(Lock) = 1;           // the station the host selects
  uint8_t Block GUARDED_BY(Lock) = 1;                   // 1..3
  uint16_t RowIndex GUARDED_BY(Lock) = 1;               // 1..528
  uint8_t AltKinds GUARDED_BY(Lock) = 0;
  uint8_t TransferStation GUARDED_BY(Lock) = 1;  // the station of the last transfer started
  uint8_t Busy GUARDED_BY(Lock) = 0;             // 1 from a start until row 528 is stored
  uint8_t FileWritten GUARDED_BY(Lock) = 0;
  uint8_t *BufferAddress GUARDED_BY(Lock) = nullptr;  // the host's block, 0 until SetBufferAddr
  // A transfer runs from its start until each of its 88 blocks has been
  // stored once; sample blocks that come at any other time store nothing.
  uint8_t TransferRunning GUARDED_BY(Lock) = 0;
  std::bitset<88> BlocksIn GUARDED_BY(Lock);
};

}  // namespace zl

#endif  // ZL_CORE_SAMPLESTATE_H
