// Byte strings in tests: written as lists of numbers, shown as hexadecimal.
#ifndef ZL_TESTS_SUPPORT_BYTES_H
#define ZL_TESTS_SUPPORT_BYTES_H

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace zl::test {

// The bytes of a list of numbers 0..255.
inline std::string Bytes(std::initializer_list<int> list) {
  std::string s;
  for (int v : list) s.push_back(static_cast<char>(v));
  return s;
}

// "41 D9 99": every byte as two upper-case digits, blank-separated, uncut.
inline std::string HexOf(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    if (!out.empty()) out.push_back(' ');
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0F]);
  }
  return out;
}

}  // namespace zl::test

#endif  // ZL_TESTS_SUPPORT_BYTES_H
