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

}  // namespace zl
