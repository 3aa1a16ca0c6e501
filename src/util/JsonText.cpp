#include "util/JsonText.h"

#include <cstdio>

#include "util/Text.h"

namespace zl {

void AppendJsonString(std::string &out, std::string_view cp1250) {
  out += '"';
  for (char c : Utf8FromCp1250(cp1250)) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void AppendJsonKey(std::string &out, std::string_view key) {
  AppendJsonString(out, key);
  out += ':';
}

}  // namespace zl
