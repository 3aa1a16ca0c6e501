// Texts of the driver: bounded byte strings and the Windows-1250 code page.
//
// Every text the driver keeps (in DriverInstance, a Station or a request) is a
// length-prefixed byte string of a fixed capacity, at most 255 bytes; a longer
// result is cut, never rejected. ShortStr<N> is that string: it never
// allocates, and every operation that would grow it past N keeps the first N
// bytes. Bytes are Windows-1250, as the host and the parameter file expect.
#ifndef ZL_UTIL_TEXT_H
#define ZL_UTIL_TEXT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace zl {

template <std::size_t N>
class ShortStr {
  static_assert(N >= 1 && N <= 255, "a short string holds at most 255 bytes");

 public:
  static constexpr std::size_t Capacity = N;

  constexpr ShortStr() = default;
  ShortStr(std::string_view s) { assign(s); }  // NOLINT: implicit on purpose
  ShortStr(const char *s) { assign(s ? std::string_view(s) : std::string_view()); }

  template <std::size_t M>
  ShortStr(const ShortStr<M> &other) {  // NOLINT: cutting copy between capacities
    assign(other.view());
  }

  void assign(std::string_view s) {
    len_ = static_cast<uint8_t>(std::min(s.size(), N));
    if (len_) std::memcpy(buf_, s.data(), len_);
  }
  ShortStr &operator=(std::string_view s) {
    assign(s);
    return *this;
  }
  ShortStr &operator=(const char *s) {
    assign(s ? std::string_view(s) : std::string_view());
    return *this;
  }

  // Appends as much of s as fits.
  ShortStr &operator+=(std::string_view s) {
    std::size_t n = std::min(s.size(), N - len_);
    if (n) std::memcpy(buf_ + len_, s.data(), n);
    len_ = static_cast<uint8_t>(len_ + n);
    return *this;
  }
  ShortStr &operator+=(char c) {
    if (len_ < N) buf_[len_++] = c;
    return *this;
  }
  template <std::size_t M>
  ShortStr &operator+=(const ShortStr<M> &s) {
    return *this += s.view();
  }
  void push_back(uint8_t b) { *this += static_cast<char>(b); }

  std::size_t size() const { return len_; }
  std::size_t length() const { return len_; }
  bool empty() const { return len_ == 0; }
  bool full() const { return len_ == N; }
  const char *data() const { return buf_; }
  char *data() { return buf_; }
  const uint8_t *bytes() const { return reinterpret_cast<const uint8_t *>(buf_); }
  std::string_view view() const { return std::string_view(buf_, len_); }
  std::string str() const { return std::string(buf_, len_); }
  operator std::string_view() const { return view(); }  // NOLINT

  // Byte i, counted from 0. Out of range reads give 0: callers that walk
  // received data still check their bounds, this is the last guard.
  uint8_t operator[](std::size_t i) const { return i < len_ ? static_cast<uint8_t>(buf_[i]) : 0; }
  uint8_t at1(std::size_t pos) const { return pos >= 1 ? (*this)[pos - 1] : 0; }  // 1-based
  void set(std::size_t i, uint8_t b) {
    if (i < len_) buf_[i] = static_cast<char>(b);
  }

  void clear() { len_ = 0; }
  // Keeps the first n bytes (n above the length changes nothing).
  void truncate(std::size_t n) {
    if (n < len_) len_ = static_cast<uint8_t>(n);
  }
  // Deletes the first n bytes.
  void erase_front(std::size_t n) {
    if (n >= len_) {
      len_ = 0;
      return;
    }
    std::memmove(buf_, buf_ + n, len_ - n);
    len_ = static_cast<uint8_t>(len_ - n);
  }

  friend bool operator==(const ShortStr &a, const ShortStr &b) { return a.view() == b.view(); }
  friend bool operator==(const ShortStr &a, std::string_view b) { return a.view() == b; }

 private:
  uint8_t len_ = 0;
  char buf_[N] = {};
};

using Str255 = ShortStr<255>;

// Converts UTF-8 source text into Windows-1250 bytes. Characters the code page
// lacks become '?'. Used once per literal: keep the result.
std::string Cp1250(std::string_view utf8);

// Cp1250 of a literal, kept for the life of the process: a thread that still
// runs while the process exits (a host that never called Done) may go on
// reading it. Keep the reference in a function-local static.
const std::string &KeptCp1250(std::string_view utf8);

// Converts Windows-1250 bytes into UTF-8 (for the status window's JSON and for
// terminal output). Undefined code points become U+FFFD.
std::string Utf8FromCp1250(std::string_view cp1250);

// Upper-cases ASCII letters only; other bytes stay as they are.
std::string AsciiUpper(std::string_view s);
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

}  // namespace zl

#endif  // ZL_UTIL_TEXT_H
