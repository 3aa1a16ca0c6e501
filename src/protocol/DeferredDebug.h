// Debug lines gathered while a driver lock is held and written once it is
// released: writing a line opens and appends to a file, which has no place
// inside a short locked section. Lines keep their order. Nothing is gathered
// while the debug log is off, so the texts are not even built then.
#ifndef ZL_PROTOCOL_DEFERREDDEBUG_H
#define ZL_PROTOCOL_DEFERREDDEBUG_H

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/DriverInstance.h"

namespace zl {

class DeferredDebug {
 public:
  explicit DeferredDebug(const DriverInstance &di) : on_(di.Log.Enabled()) {}
  DeferredDebug(const DeferredDebug &) = delete;
  DeferredDebug &operator=(const DeferredDebug &) = delete;

  // False while the log is off: callers skip building costly texts.
  bool On() const { return on_; }

  void Add(std::string_view label, std::string_view text) {
    if (on_) lines_.emplace_back(std::string(label), std::string(text));
  }

  // Writes the gathered lines in order and forgets them. Call without locks.
  void WriteTo(DriverInstance &di) {
    for (const auto &[label, text] : lines_) di.Debug(label, text);
    lines_.clear();
  }

 private:
  bool on_;
  std::vector<std::pair<std::string, std::string>> lines_;
};

}  // namespace zl

#endif  // ZL_PROTOCOL_DEFERREDDEBUG_H
