#include "util/SampleFile.h"

#include "util/Encodings.h"

namespace zl {

bool DecodeSampleFile(std::string_view bytes, std::vector<SampleFileRow> &rows) {
  rows.clear();
  if (bytes.size() != static_cast<std::size_t>(kSampleFileBytes)) return false;
  rows.resize(kSampleFileRows);
  for (int r = 0; r < kSampleFileRows; ++r) {
    const std::string_view row =
        bytes.substr(static_cast<std::size_t>(r) * kSampleFileRowBytes, kSampleFileRowBytes);
    SampleFileRow &out = rows[static_cast<std::size_t>(r)];
    for (int k = 0; k < 6; ++k)
      out.Stamp[k] = static_cast<uint8_t>(row[static_cast<std::size_t>(k)]);
    out.Status = static_cast<uint8_t>(row[6]);
    for (int v = 0; v < 8; ++v)
      out.Values[v] = DecodeReal3(row.substr(7 + 3 * static_cast<std::size_t>(v), 3));
  }
  return true;
}

}  // namespace zl
