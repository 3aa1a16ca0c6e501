#include "driver/DebugLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "port/Clock.h"
#include "port/DrivePath.h"

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
    // The name is fixed and known: a symbolic link planted under it must not
    // turn a log line into a write to another file.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
      std::string line = FormatLine(DateTimeText(), label, text);
      line += "\r\n";
      [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
      ::close(fd);
    }
  }
  busy_.clear(std::memory_order_release);
}

}  // namespace zl
