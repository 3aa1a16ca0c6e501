// JSON text for the host: the driver's Windows-1250 texts as UTF-8 string
// literals, with the escapes JSON requires.
#ifndef ZL_UTIL_JSONTEXT_H
#define ZL_UTIL_JSONTEXT_H

#include <string>
#include <string_view>

namespace zl {

// Appends cp1250 as a quoted JSON string in UTF-8 (ASCII passes unchanged).
void AppendJsonString(std::string &out, std::string_view cp1250);

// Appends "key": (key as AppendJsonString gives it).
void AppendJsonKey(std::string &out, std::string_view key);

}  // namespace zl

#endif  // ZL_UTIL_JSONTEXT_H
