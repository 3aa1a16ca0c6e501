// The sample memory's rows: 528 rows of 39 bytes that the controllers' sample
// blocks fill and the host reads or has written to a file.
#ifndef ZL_CORE_SAMPLESTATE_H
#define ZL_CORE_SAMPLESTATE_H

#include <cstdint>

namespace zl {

constexpr int kSampleRows = 528;
constexpr int kSampleRowSize = 39;  // 6 time stamp bytes, status, 8 x (length + 3-byte real)

struct SampleRow {
  uint8_t Bytes[kSampleRowSize] = {};
};

// Clears the 528 sample rows: bytes 0..6 zero, each value slot of length 3
// holding 00 00 00 (the 3-byte real 0.0).
void ClearSampleRows(SampleRow *rows);

}  // namespace zl

#endif  // ZL_CORE_SAMPLESTATE_H
