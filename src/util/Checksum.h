// The ZL2 checksum: the exclusive-or of every byte it covers.
#ifndef ZL_UTIL_CHECKSUM_H
#define ZL_UTIL_CHECKSUM_H

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zl {

inline uint8_t XorChecksum(const void *data, std::size_t size) {
  const auto *p = static_cast<const uint8_t *>(data);
  uint8_t x = 0;
  for (std::size_t i = 0; i < size; ++i) x ^= p[i];
  return x;
}
inline uint8_t XorChecksum(std::string_view bytes) {
  return XorChecksum(bytes.data(), bytes.size());
}

// True when the last byte equals the exclusive-or of all bytes before it.
inline bool MessageChecksumOk(std::string_view message) {
  if (message.empty()) return false;
  return XorChecksum(message.substr(0, message.size() - 1)) == static_cast<uint8_t>(message.back());
}

}  // namespace zl

#endif  // ZL_UTIL_CHECKSUM_H
