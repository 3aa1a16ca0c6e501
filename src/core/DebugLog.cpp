#include "core/DebugLog.h"

#include "port/Clock.h"
#include "port/DrivePath.h"
#include "port/File.h"

namespace zl {

void DebugLog::Enable() {
  if (enabled_.load(std::memory_order_acquire)) return;
  // LogBusy is not reset here: a writer always releases it itself, and a
  // writer that began before the log went off may still hold it.
  named_.store(true, std::memory_order_release);
  enabled_.store(true, std::memory_order_release);
}

void DebugLog::Disable() {
  enabled_.store(false, std::memory_order_release);
}

std::string DebugLog::FileName() const {
  return named_.load(std::memory_order_acquire) ? kDefaultFileName : "";
}

std::string DebugLog::FormatLine(std::string_view dateTime, std::string_view label,
                                 std::string_view text) {
  std::string line;
  line.reserve(dateTime.size() + label.size() + text.size() + 4);
  line.append(dateTime).append(" ").append(label).append(" : ").append(text);
  if (line.size() > 255) line.resize(255);
  return line;
}

void DebugLog::Write(std::string_view label, std::string_view text) {
  if (!enabled_.load(std::memory_order_acquire)) return;
  if (busy_.test_and_set(std::memory_order_acquire)) return;  // another writer: line lost
  std::string path = MapDrivePath(kDefaultFileName);
  if (!path.empty()) {
    std::string line = FormatLine(DateTimeText(), label, text);
    line += "\r\n";
    AppendToFile(path, line);
  }
  busy_.clear(std::memory_order_release);
}

}  // namespace zl
