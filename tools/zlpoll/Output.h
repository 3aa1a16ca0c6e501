// What zlpoll prints: aligned tables with colour on a terminal, plain text
// otherwise, and JSON objects for scripts.
#ifndef ZL_ZLPOLL_OUTPUT_H
#define ZL_ZLPOLL_OUTPUT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace zl::poll {

// Colour only on a terminal, and not with --no-color, NO_COLOR or TERM=dumb.
bool ColourWanted(bool noColorOption);

class Style {
 public:
  explicit Style(bool colour) : colour_(colour) {}
  bool Colour() const { return colour_; }
  std::string Bold(std::string_view s) const { return Wrap("1", s); }
  std::string Dim(std::string_view s) const { return Wrap("2", s); }
  std::string Red(std::string_view s) const { return Wrap("31", s); }
  std::string Green(std::string_view s) const { return Wrap("32", s); }
  std::string Yellow(std::string_view s) const { return Wrap("33", s); }
  std::string Cyan(std::string_view s) const { return Wrap("36", s); }

 private:
  std::string Wrap(const char *code, std::string_view s) const;
  bool colour_;
};

// Characters on the screen: UTF-8 sequences count once, colour escapes not at all.
std::size_t DisplayWidth(std::string_view text);
// text followed by blanks up to width (right: blanks first).
std::string Pad(std::string_view text, std::size_t width, bool right = false);

// Columns aligned to their widest cell. Numbers columns are right-aligned.
class Table {
 public:
  explicit Table(std::vector<std::string> header) : header_(std::move(header)) {}
  void AlignRight(std::size_t column);
  void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
  bool Empty() const { return rows_.empty(); }
  // The header (bold) and the rows, each line without its line end.
  std::vector<std::string> Lines(const Style &style, const std::string &indent = "") const;

 private:
  std::vector<std::string> header_;
  std::vector<std::vector<std::string>> rows_;
  std::vector<bool> right_;
};

// JSON for scripts; an object keeps its members in the order they were set.
using Json = nlohmann::ordered_json;

// A number for JSON: a whole number without fraction or exponent, any other
// the shortest text that reads back as the same double, null when not finite.
Json JsonNumber(double value);

// JSON text on one line. Bytes that are no UTF-8 (a text the driver did not
// convert) become U+FFFD rather than an invalid document.
std::string JsonText(const Json &json);

// Writes text and a line end to standard output, flushed.
void PrintLine(const std::string &text);
// Writes json as one line.
void PrintJson(const Json &json);

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_OUTPUT_H
