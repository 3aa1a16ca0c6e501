// The sample file (".CUC"): a station's 528 sample rows as the driver writes
// them at the end of a transfer, 31 bytes a row, 16368 bytes, no header. A row:
//    0..5   time stamp: year (two digits), month, day, hour, minute, second,
//           as binary numbers (the controller sends them in BCD)
//    6      status byte, as the controller sent it
//    7..30  eight values, each a 3-byte real
#ifndef ZL_UTIL_SAMPLEFILE_H
#define ZL_UTIL_SAMPLEFILE_H

#include <cstdint>
#include <string_view>
#include <vector>

namespace zl {

constexpr int kSampleFileRows = 528;
constexpr int kSampleFileRowBytes = 31;
constexpr int kSampleFileBytes = kSampleFileRows * kSampleFileRowBytes;

struct SampleFileRow {
  uint8_t Stamp[6] = {};  // year, month, day, hour, minute, second
  uint8_t Status = 0;
  double Values[8] = {};  // decoded as the host's sample channels give them
};

// The rows of a sample file's bytes; false (and no rows) when the bytes are
// not a whole sample file.
bool DecodeSampleFile(std::string_view bytes, std::vector<SampleFileRow> &rows);

}  // namespace zl

#endif  // ZL_UTIL_SAMPLEFILE_H
