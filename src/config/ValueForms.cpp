#include "config/ValueForms.h"

#include <charconv>
#include <cmath>

namespace zl {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Skips leading blanks and an optional sign; answers whether the sign was "-".
bool TakeSign(std::string_view &s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  return negative;
}

}  // namespace

std::optional<int32_t> ParseWhole(std::string_view s) {
  bool negative = TakeSign(s);
  bool hex = false;
  if (!s.empty() && (s.front() == '$' || s.front() == 'x' || s.front() == 'X')) {
    hex = true;
    s.remove_prefix(1);
  } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    hex = true;
    s.remove_prefix(2);
  }
  if (s.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : s) {
    int d = hex ? HexDigit(c) : (IsDigit(c) ? c - '0' : -1);
    if (d < 0) return std::nullopt;
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    if (value > 0xFFFFFFFFu) return std::nullopt;  // also stops long runs early
  }
  if (!hex && value > (negative ? 0x80000000u : 0x7FFFFFFFu)) return std::nullopt;
  uint32_t bits = static_cast<uint32_t>(value);
  if (negative) bits = 0u - bits;
  return static_cast<int32_t>(bits);
}

std::optional<double> ParseReal(std::string_view s) {
  bool negative = TakeSign(s);
  // Check the form first: from_chars alone would also take "inf", "nan" and
  // hexadecimal floats.
  std::size_t i = 0, digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t start = i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    if (i == start) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  double value = 0.0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  // A magnitude beyond what a double holds does not convert.
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) return std::nullopt;
  return negative ? -value : value;
}

std::optional<std::string> DecodeText(std::string_view s) {
  std::string out;
  bool quoted = false;
  for (std::size_t i = 0; i < s.size();) {
    char c = s[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else {
        out += c;
      }
      ++i;
    } else if (c == '"') {
      quoted = true;
      ++i;
    } else if (c == '$') {
      if (s.size() - i < 3) return std::nullopt;
      std::optional<int32_t> code = ParseWhole(s.substr(i, 3));
      if (!code) return std::nullopt;
      out += static_cast<char>(*code & 0xFF);
      i += 3;
    } else {
      ++i;
    }
  }
  return out;
}

}  // namespace zl
