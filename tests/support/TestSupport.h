// Helpers shared by the tests.
#ifndef ZL_TESTS_SUPPORT_TESTSUPPORT_H
#define ZL_TESTS_SUPPORT_TESTSUPPORT_H

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "driver/Services.h"

namespace zl::test {

// A fresh temporary folder, removed with everything in it at destruction.
// While it lives, drive C: maps to it (ZLNETDRV_DRIVE_C), so the debug log and
// sample files land there.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  const std::string &path() const { return path_; }
  std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }
  // Writes bytes to a file in the folder and answers its full path.
  std::string Write(std::string_view name, std::string_view bytes) const;
  // Reads a whole file (empty when it does not exist).
  static std::string Read(const std::string &path);

 private:
  std::string path_;
  std::string savedDriveC_;
  bool hadDriveC_ = false;
};

// DriverServices that runs everything on the calling thread and records what
// the driver shows: AddEvent under the 12-line rule, status lines appended
// directly, posted events, wake-ups.
class FakeServices : public DriverServices {
 public:
  void AddEvent(std::string_view text) override;
  void AddStatusLine(std::string_view text) override;
  void PostEvent(std::string_view text) override;
  void Synchronize(const std::function<void()> &fn) override;
  void Wake() override;

  std::vector<std::string> Lines() const;   // the event list, oldest first
  std::vector<std::string> Posted() const;  // texts given to PostEvent
  int Wakes() const;
  void ClearAll();

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<std::string> posted_;
  int wakes_ = 0;
};

// Windows-1250 bytes of a UTF-8 literal (shorthand for test expectations).
std::string Cp(std::string_view utf8);

// What the process holds now: its open descriptors and its threads. A thread
// that has been joined may take a moment to leave the count.
int OpenDescriptors();
int ThreadCount();

}  // namespace zl::test

#endif  // ZL_TESTS_SUPPORT_TESTSUPPORT_H
