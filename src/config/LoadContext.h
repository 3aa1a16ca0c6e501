// What one read of the parameter file reports to whoever reads it: the item
// being read, the error text, and where the debug and event lines go.
#ifndef ZL_CONFIG_LOADCONTEXT_H
#define ZL_CONFIG_LOADCONTEXT_H

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

#include "util/Text.h"

namespace zl {

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

  void Debug(std::string_view label, std::string_view text) const {
    if (DebugSink) DebugSink(label, text);
  }
  void Event(std::string_view line) const {
    if (EventSink) EventSink(line);
  }
  // ErrorText := text cut to 80 bytes, NUL-terminated.
  void SetError(std::string_view text) {
    std::memset(ErrorText, 0, sizeof ErrorText);
    std::memcpy(ErrorText, text.data(), std::min<std::size_t>(text.size(), 80));
  }
};

}  // namespace zl

#endif  // ZL_CONFIG_LOADCONTEXT_H
