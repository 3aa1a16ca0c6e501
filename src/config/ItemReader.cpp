#include "config/ItemReader.h"

#include <algorithm>

#include "config/LoadContext.h"

namespace zl {
namespace {

constexpr std::size_t kMaxItem = 255;
constexpr std::size_t kMaxCurrentItem = 80;
constexpr std::size_t kMaxLine = 255;

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

bool ItemReader::NextRun(std::string_view &run) {
  const std::size_t size = text_.size();
  while (pos_ < size && IsSeparator(text_[pos_])) ++pos_;
  if (pos_ >= size) return false;
  std::size_t start = pos_;
  while (pos_ < size && !IsSeparator(text_[pos_])) ++pos_;
  run = text_.substr(start, pos_ - start);
  if (pos_ < size) ++pos_;  // the separator that ended the run
  if (run == "$DIAGS" && ctx_.DebugRequested) ctx_.DebugRequested();
  return true;
}

bool ItemReader::Next() {
  std::string_view run;
  bool found = false;
  while (!found && NextRun(run)) {
    if (run.front() == '{') {
      bool closed = run.back() == '}';
      while (!closed && NextRun(run)) closed = run.back() == '}';
      if (!closed) break;  // the file ended inside the comment
    } else {
      found = run.back() != '}';
    }
  }
  if (!found) {
    atEnd_ = true;
    itemOffset_ = text_.size();
    ctx_.RawItem.clear();
    ctx_.CurrentItem.clear();
    return false;
  }
  itemOffset_ = static_cast<std::size_t>(run.data() - text_.data());
  std::string_view raw = run.substr(0, kMaxItem);
  ctx_.RawItem = raw;
  char upper[kMaxCurrentItem];
  std::size_t n = std::min(raw.size(), kMaxCurrentItem);
  for (std::size_t i = 0; i < n; ++i) {
    char c = raw[i];
    upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  ctx_.CurrentItem = std::string_view(upper, n);
  ctx_.Debug("PARfile ITEM", raw);
  return true;
}

FilePlace ItemReader::PlaceOf(std::size_t offset) {
  offset = std::min(offset, text_.size());
  if (offset < placeOffset_) placeOffset_ = lineStart_ = 0, line_ = 1;
  // A line ends at LF, or at a CR that no LF follows.
  for (; placeOffset_ < offset; ++placeOffset_) {
    const char c = text_[placeOffset_];
    const bool crlf =
        c == '\r' && placeOffset_ + 1 < text_.size() && text_[placeOffset_ + 1] == '\n';
    if (c == '\n' || (c == '\r' && !crlf)) {
      ++line_;
      lineStart_ = placeOffset_ + 1;
    }
  }
  return FilePlace{line_, static_cast<uint32_t>(offset - lineStart_ + 1)};
}

std::string ItemReader::RestOfLine() {
  const std::size_t size = text_.size();
  std::size_t start = pos_;
  while (pos_ < size && text_[pos_] != '\r' && text_[pos_] != '\n') ++pos_;
  std::string line(text_.substr(start, std::min(pos_ - start, kMaxLine)));
  if (pos_ < size) {
    if (text_[pos_] == '\r' && pos_ + 1 < size && text_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
  }
  return line;
}

}  // namespace zl
