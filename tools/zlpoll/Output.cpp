#include "zlpoll/Output.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zlpoll/Values.h"

namespace zl::poll {

bool ColourWanted(bool noColorOption) {
  if (noColorOption || !::isatty(STDOUT_FILENO)) return false;
  const char *noColor = std::getenv("NO_COLOR");
  if (noColor && *noColor) return false;
  const char *term = std::getenv("TERM");
  return !(term && std::strcmp(term, "dumb") == 0);
}

std::string Style::Wrap(const char *code, std::string_view s) const {
  if (!colour_) return std::string(s);
  return "\x1b[" + std::string(code) + "m" + std::string(s) + "\x1b[0m";
}

std::size_t DisplayWidth(std::string_view text) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b == 0x1b) {  // an escape sequence up to its final letter
      while (i + 1 < text.size() && !std::isalpha(static_cast<unsigned char>(text[i + 1]))) ++i;
      ++i;
      continue;
    }
    if ((b & 0xC0) != 0x80) ++width;  // not a continuation byte
  }
  return width;
}

std::string Pad(std::string_view text, std::size_t width, bool right) {
  const std::size_t w = DisplayWidth(text);
  const std::string blanks(w < width ? width - w : 0, ' ');
  return right ? blanks + std::string(text) : std::string(text) + blanks;
}

void Table::AlignRight(std::size_t column) {
  if (right_.size() <= column) right_.resize(column + 1, false);
  right_[column] = true;
}

std::vector<std::string> Table::Lines(const Style &style, const std::string &indent) const {
  std::vector<std::size_t> widths(header_.size(), 0);
  auto measure = [&](const std::vector<std::string> &row) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (std::size_t c = 0; c < row.size(); ++c)
      widths[c] = std::max(widths[c], DisplayWidth(row[c]));
  };
  measure(header_);
  for (const auto &row : rows_) measure(row);
  auto line = [&](const std::vector<std::string> &row) {
    std::string out = indent;
    for (std::size_t c = 0; c < row.size(); ++c) {
      const bool right = c < right_.size() && right_[c];
      const bool last = c + 1 == row.size();
      out += last && !right ? row[c] : Pad(row[c], widths[c], right);
      if (!last) out += "  ";
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
  };
  std::vector<std::string> out;
  if (!header_.empty()) out.push_back(style.Bold(line(header_)));
  for (const auto &row : rows_) out.push_back(line(row));
  return out;
}

JsonObject &JsonObject::Raw(std::string_view key, std::string_view json) {
  if (body_.size() > 1) body_ += ',';
  body_ += JsonString(key);
  body_ += ':';
  body_ += json;
  return *this;
}

JsonObject &JsonObject::Text(std::string_view key, std::string_view utf8) {
  return Raw(key, JsonString(utf8));
}

JsonObject &JsonObject::Number(std::string_view key, double value) {
  Value v;
  v.Number = value;
  return Raw(key, JsonValue(v));
}

std::string JsonArray(const std::vector<std::string> &elements) {
  std::string out = "[";
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (i) out += ',';
    out += elements[i];
  }
  return out + "]";
}

void PrintLine(const std::string &text) {
  std::fputs(text.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace zl::poll
