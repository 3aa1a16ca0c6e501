#include "common/Numbers.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace zl::tools {

bool ParseInt(const std::string &text, long long lo, long long hi, long long &value) {
  if (text.empty()) return false;
  char *end = nullptr;
  errno = 0;
  const std::size_t digits = text[0] == '-' || text[0] == '+' ? 1 : 0;
  const bool hex = text.compare(digits, 2, "0x") == 0 || text.compare(digits, 2, "0X") == 0;
  const long long v = std::strtoll(text.c_str(), &end, hex ? 16 : 10);
  if (errno != 0 || !end || *end != '\0' || v < lo || v > hi) return false;
  value = v;
  return true;
}

bool ParseNumber(const std::string &text, double &value) {
  if (text.empty()) return false;
  char *end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || !end || *end != '\0' || !std::isfinite(v)) return false;
  value = v;
  return true;
}

}  // namespace zl::tools
