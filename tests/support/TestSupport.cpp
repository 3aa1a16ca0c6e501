#include "support/TestSupport.h"

#include <dirent.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "util/Text.h"

namespace zl::test {

#ifdef _WIN32
// Paths are native on Windows ("C:\\..." is drive C: itself): the folder is a
// fresh one under the temporary folder, and no drive is mapped onto it.
TempDir::TempDir() {
  std::random_device random;
  std::error_code ec;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    // A short name: the driver's messages that quote a path have a length of
    // their own, and Windows' temporary folder is longer than /tmp already.
    auto folder =
        std::filesystem::temp_directory_path(ec) / ("zl" + std::to_string(random() % 1000000));
    if (std::filesystem::create_directory(folder, ec)) path_ = folder.string();
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}
#else
TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "zltest-XXXXXX").string();
  if (char *p = ::mkdtemp(tmpl.data())) path_ = p;
  if (const char *c = std::getenv("ZLNETDRV_DRIVE_C")) {
    hadDriveC_ = true;
    savedDriveC_ = c;
  }
  ::setenv("ZLNETDRV_DRIVE_C", path_.c_str(), 1);
}

TempDir::~TempDir() {
  if (hadDriveC_) {
    ::setenv("ZLNETDRV_DRIVE_C", savedDriveC_.c_str(), 1);
  } else {
    ::unsetenv("ZLNETDRV_DRIVE_C");
  }
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}
#endif

std::string TempDir::Write(std::string_view name, std::string_view bytes) const {
  std::string full = File(name);
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return full;
}

std::string TempDir::Read(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void FakeServices::AddEvent(std::string_view text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lines_.size() >= 12) lines_.erase(lines_.begin());
  lines_.emplace_back(text);
}

void FakeServices::AddStatusLine(std::string_view text) {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.emplace_back(text);
}

void FakeServices::PostEvent(std::string_view text) {
  std::string cut(text.substr(0, 255));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    posted_.push_back(cut);
  }
  AddEvent(cut);
}

void FakeServices::Synchronize(const std::function<void()> &fn) {
  fn();
}

void FakeServices::Wake() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++wakes_;
}

std::vector<std::string> FakeServices::Lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

std::vector<std::string> FakeServices::Posted() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return posted_;
}

int FakeServices::Wakes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return wakes_;
}

void FakeServices::ClearAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
  posted_.clear();
  wakes_ = 0;
}

std::string Cp(std::string_view utf8) {
  return Cp1250(utf8);
}

namespace {

int EntriesOf(const char *folder) {
  int n = 0;
  if (DIR *d = ::opendir(folder)) {
    while (struct dirent *e = ::readdir(d)) n += e->d_name[0] != '.';
    ::closedir(d);
  }
  return n;
}

}  // namespace

int OpenDescriptors() {
  return EntriesOf("/proc/self/fd") - 1;  // not the listing's own descriptor
}

int ThreadCount() {
  return EntriesOf("/proc/self/task");
}

}  // namespace zl::test
