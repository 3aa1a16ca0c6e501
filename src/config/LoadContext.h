// What one read of the parameter file reports to whoever reads it: the item
// being read, the error text, and where the debug and event lines go.
#ifndef ZL_CONFIG_LOADCONTEXT_H
#define ZL_CONFIG_LOADCONTEXT_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

#include "util/Text.h"

namespace zl {

// Where an item stands in the file: line and column, both from 1 (the column
// counts bytes; the file is single-byte text).
struct FilePlace {
  uint32_t Line = 0;
  uint32_t Column = 0;
  bool operator<(const FilePlace &o) const {
    return Line != o.Line ? Line < o.Line : Column < o.Column;
  }
};

// What a reading of the file notices beyond its result: a reason Init refuses
// the file for, or a place where the driver takes the file otherwise than it
// is written (a value cut or clipped, a word skipped, a channel that another
// object holds already).
struct LoadFinding {
  FilePlace At;
  bool Refused = false;  // Init fails on it
  std::string Text;      // Windows-1250, in the catalogue's language
};

struct LoadContext {
  ShortStr<80> CurrentItem;  // upper-cased
  Str255 RawItem;            // as it stands in the file
  char ErrorText[256] = {};  // NUL-terminated, at most 80 characters

  // Debug lines (label, text); none when empty.
  std::function<void(std::string_view, std::string_view)> DebugSink;
  // Event lines for the status window; none when empty.
  std::function<void(std::string_view)> EventSink;
  // "$DIAGS" in the file: the reader asks for the debug log.
  std::function<void()> DebugRequested;
  // Findings, for a check of the file; none when empty (Init sets none: what
  // the reader does with the file is the same either way).
  std::function<void(const LoadFinding &)> FindingSink;

  void Debug(std::string_view label, std::string_view text) const {
    if (DebugSink) DebugSink(label, text);
  }
  void Event(std::string_view line) const {
    if (EventSink) EventSink(line);
  }
  bool WantsFindings() const { return static_cast<bool>(FindingSink); }
  void Find(FilePlace at, bool refused, std::string text) const {
    if (FindingSink) FindingSink(LoadFinding{at, refused, std::move(text)});
  }
  // ErrorText := text cut to 80 bytes, NUL-terminated. Out of line: inlined
  // into a caller that passes a temporary string, GCC's bounds analysis at -O3
  // takes the string's short buffer for the whole text.
  void SetError(std::string_view text);
};

}  // namespace zl

#endif  // ZL_CONFIG_LOADCONTEXT_H
