#include "support/PerfHost.h"

#include <dirent.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "driver/Driver.h"
#include "driver/Exports.h"
#include "zlnetdrv.h"

namespace zl::test::perf {
namespace {

std::set<pid_t> TaskIds() {
  std::set<pid_t> ids;
  if (DIR *d = ::opendir("/proc/self/task")) {
    while (dirent *e = ::readdir(d)) {
      if (e->d_name[0] != '.') ids.insert(static_cast<pid_t>(std::atol(e->d_name)));
    }
    ::closedir(d);
  }
  return ids;
}

Driver *Form(void *handle) {
  return FormOfHandle(handle);
}

}  // namespace

PerfHost::PerfHost(const PerfHostOptions &options) {
  // The simulator reads the same file; its stations are then served on an
  // ephemeral port, which the driver's copy of the file names.
  PerfFileOptions file = options.File;
  const std::string path = dir_.File("perf.par");
  dir_.Write("perf.par", PerfParameterFile(file));
  ParameterSet config;
  if (!ReadParameterFile(path, config, error_)) return;
  sim::SimOptions simOptions;
  simOptions.Ephemeral = true;
  simOptions.BindAddress = "127.0.0.1";
  simOptions.Static = true;
  simOptions.Faults = options.Faults;
  if (options.AllDead) {
    for (int n = 1; n <= file.Stations; ++n) simOptions.Dead.push_back(n);
  }
  sim_ = std::make_unique<sim::Simulator>(std::move(config), simOptions);
  if (!sim_->Start(error_)) return;
  file.Port = sim_->ActualPort(static_cast<uint16_t>(file.Port));
  dir_.Write("perf.par", PerfParameterFile(file));

  rssBefore_ = ResidentBytes();
  heapBefore_ = HeapInUse();
  handle_ = ::MakeDriver();
  if (!handle_) {
    error_ = "MakeDriver failed";
    return;
  }
  const std::set<pid_t> before = TaskIds();
  char text[256] = "perf";
  if (!::Init(handle_, 255, path.c_str(), 0, text, 0)) {
    error_ = std::string("Init failed: ") + text;
    return;
  }
  initialised_ = true;
  rssAfter_ = ResidentBytes();
  heapAfter_ = HeapInUse();
  std::set<pid_t> added;
  for (pid_t id : TaskIds()) {
    if (!before.count(id)) added.insert(id);
  }
  if (added.size() == 1) threadId_ = *added.begin();
}

PerfHost::~PerfHost() {
  if (handle_) {
    if (initialised_) ::Done(handle_);
    ::DisposeDriver(handle_);
  }
  if (sim_) sim_->Stop();
}

bool PerfHost::Connect(int station, int timeoutMs) {
  if (!Ok()) return false;
  ::OutputRequest(handle_, ConnectChannel(station), ZL_TYPE_BOOL, 1);
  Driver *form = Form(handle_);
  return PumpUntil(
      [&] { return GetDouble(488) == 1.0 && form && form->Di.StationOnline.load() == 1; },
      timeoutMs);
}

bool PerfHost::PumpUntil(const std::function<bool()> &pred, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const int fd = ::MessageFd(handle_);
  while (!pred()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return pred();
    pollfd p{fd, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(left < 50 ? left : 50));
    ::PumpMessages(handle_, 0);
  }
  return true;
}

double PerfHost::GetDouble(uint16_t channel) const {
  HostValue value{ZL_TYPE_DOUBLE, {}};
  ::GetInput(handle_, channel, &value);
  double x;
  std::memcpy(&x, value.value, sizeof x);
  return x;
}

uint64_t PerfHost::Passes() const {
  Driver *form = Form(handle_);
  return form && form->Thread ? form->Thread->PassCount() : 0;
}

bool PerfHost::InPass() const {
  Driver *form = Form(handle_);
  return form && form->Di.CycleBusy.load() != 0;
}

double ThreadCpuSeconds(pid_t tid) {
  // schedstat gives the time on the processor in nanoseconds; stat only in
  // clock ticks (10 ms), too coarse for an idle thread.
  const std::string task = "/proc/self/task/" + std::to_string(tid);
  {
    std::ifstream in(task + "/schedstat");
    unsigned long long ns = 0;
    if (in >> ns) return static_cast<double>(ns) / 1e9;
  }
  std::ifstream in(task + "/stat");
  std::string line;
  if (!std::getline(in, line)) return -1.0;
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return -1.0;
  std::istringstream rest(line.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

long ResidentBytes() {
  std::ifstream in("/proc/self/statm");
  long size = 0, resident = 0;
  if (!(in >> size >> resident)) return 0;
  return resident * ::sysconf(_SC_PAGESIZE);
}

long HeapInUse() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
  const struct mallinfo2 info = mallinfo2();
  return static_cast<long>(info.uordblks + info.hblkhd);
#else
  return 0;
#endif
}

}  // namespace zl::test::perf
