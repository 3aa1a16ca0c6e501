#include "core/SampleState.h"

#include <cstring>

namespace zl {

void ClearSampleRows(SampleRow *rows) {
  for (int r = 0; r < kSampleRows; ++r) {
    uint8_t *b = rows[r].Bytes;
    std::memset(b, 0, kSampleRowSize);
    for (int v = 1; v <= 8; ++v) b[4 * v + 3] = 3;  // length 3, value 00 00 00 (0.0)
  }
}

void SampleState::Reset() {
  MutexLock lock(Lock);
  Table = std::make_unique<SampleRow[]>(kSampleRows);
  ClearSampleRows(Table.get());
  StationNumber = 1;
  TransferStation = 1;
  Block = 1;
  RowIndex = 1;
  Busy = 0;
}

void SampleState::ClearTable() {
  MutexLock lock(Lock);
  if (Table) ClearSampleRows(Table.get());
}

const uint8_t *SampleState::SelectedRow() const {
  if (!Table || RowIndex < 1 || RowIndex > kSampleRows) return nullptr;
  return Table[RowIndex - 1].Bytes;
}

}  // namespace zl
