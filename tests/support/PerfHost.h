// A host for measurements of the running driver: it plays the host process
// through the C entry points (MakeDriver, Init, OutputRequest, InputRequest,
// GetInput, PumpMessages) against a simulated line gateway in this process,
// on loopback, with the PerfConfig parameter file.
//
// Only one driver exists per process (the C ABI holds one), so only one
// PerfHost may live at a time. Everything is called on the thread that built
// it, which is the host's thread.
#ifndef ZL_TESTS_SUPPORT_PERFHOST_H
#define ZL_TESTS_SUPPORT_PERFHOST_H

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "support/PerfConfig.h"
#include "support/TestSupport.h"
#include "zlsim/Simulator.h"

namespace zl::test::perf {

struct PerfHostOptions {
  PerfFileOptions File;
  sim::FaultOptions Faults;
  bool AllDead = false;  // no station answers
};

class PerfHost {
 public:
  // Starts the simulator on an ephemeral port of 127.0.0.1, writes the
  // parameter file pointing every station there, makes the driver and runs
  // Init. Ok() tells whether all of it worked, Error() why not.
  explicit PerfHost(const PerfHostOptions &options);
  // Done, DisposeDriver, then the simulator stops.
  ~PerfHost();
  PerfHost(const PerfHost &) = delete;
  PerfHost &operator=(const PerfHost &) = delete;

  bool Ok() const { return error_.empty(); }
  const std::string &Error() const { return error_; }
  void *Handle() const { return handle_; }
  sim::Simulator &Sim() { return *sim_; }

  // The connect command of a station; pumps until the gateway connection is
  // up and the communication thread has confirmed it, at most timeoutMs.
  bool Connect(int station = 1, int timeoutMs = 10000);

  // Waits on the driver's message descriptor and dispatches its messages
  // until pred holds (tested after every dispatch) or timeoutMs pass; answers
  // pred's last value.
  bool PumpUntil(const std::function<bool()> &pred, int timeoutMs = 10000);

  double GetDouble(uint16_t channel) const;
  // Passes the communication thread has run since Init (counted as each ends).
  uint64_t Passes() const;
  // The communication thread is inside a pass (CycleBusy).
  bool InPass() const;
  // The communication thread's id (0 when it could not be told apart).
  pid_t ThreadId() const { return threadId_; }

  // What MakeDriver and Init added to the process: resident memory and heap
  // in use, in bytes (the simulator was running before).
  long ResidentAdded() const { return rssAfter_ - rssBefore_; }
  long HeapAdded() const { return heapAfter_ - heapBefore_; }

 private:
  TempDir dir_;
  std::unique_ptr<sim::Simulator> sim_;
  void *handle_ = nullptr;
  bool initialised_ = false;
  pid_t threadId_ = 0;
  long rssBefore_ = 0, rssAfter_ = 0, heapBefore_ = 0, heapAfter_ = 0;
  std::string error_;
};

// CPU time (user + system) a thread of this process has used, in seconds;
// negative when it cannot be read.
double ThreadCpuSeconds(pid_t tid);
// Resident memory of this process, in bytes.
long ResidentBytes();
// Bytes allocated on the heap and in use (0 where the C library gives no figure).
long HeapInUse();

}  // namespace zl::test::perf

#endif  // ZL_TESTS_SUPPORT_PERFHOST_H
