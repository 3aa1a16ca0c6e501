// Numbers as the tools take them from a command line.
#ifndef ZL_TOOLS_COMMON_NUMBERS_H
#define ZL_TOOLS_COMMON_NUMBERS_H

#include <string>

namespace zl::tools {

// "12" -> 12 within [lo, hi]; "0x1F" is hexadecimal, a leading 0 is no octal.
// False for anything else.
bool ParseInt(const std::string &text, long long lo, long long hi, long long &value);
// A finite decimal number.
bool ParseNumber(const std::string &text, double &value);

}  // namespace zl::tools

#endif  // ZL_TOOLS_COMMON_NUMBERS_H
