#include "zlpoll/Output.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

Json JsonNumber(double value) {
  if (value == std::trunc(value) && std::fabs(value) < 1e15) return static_cast<int64_t>(value);
  return value;
}

std::string JsonText(const Json &json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void PrintLine(const std::string &text) {
  std::fputs(text.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void PrintJson(const Json &json) {
  PrintLine(JsonText(json));
}

}  // namespace zl::poll
