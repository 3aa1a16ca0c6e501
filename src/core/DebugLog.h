// The debug log: one time-stamped line per internal step, appended to
// "C:\ZLNETDRV.LOG" (through the drive mapping) while the log is on.
//
// Each line is opened, appended and closed on its own, so the file can be read,
// copied or deleted while the driver runs. Both threads write; a writer that
// finds another one busy skips its line (LogBusy is a try-lock). A line that
// cannot be written is lost without a report.
#ifndef ZL_CORE_DEBUGLOG_H
#define ZL_CORE_DEBUGLOG_H

#include <atomic>
#include <string>
#include <string_view>

namespace zl {

class DebugLog {
 public:
  static constexpr const char *kDefaultFileName = "C:\\ZLNETDRV.LOG";

  // Switches the log on (EnableDebugLog); does nothing when it is already on.
  void Enable();
  // Switches the log off (Init at its start, Done at its end).
  void Disable();
  bool Enabled() const { return enabled_.load(std::memory_order_acquire); }
  // The log file's name: "C:\ZLNETDRV.LOG" once the log has been switched on.
  std::string FileName() const;

  // WriteDebugLine(label, text): date-time + " " + label + " : " + text, cut to
  // 255 bytes, then CR LF.
  void Write(std::string_view label, std::string_view text);

  // The line Write would write, without its line end (for tests).
  static std::string FormatLine(std::string_view dateTime, std::string_view label,
                                std::string_view text);

 private:
  std::atomic<bool> enabled_{false};
  std::atomic<bool> named_{false};  // LogFileName is set
  std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
};

}  // namespace zl

#endif  // ZL_CORE_DEBUGLOG_H
