// A host session on the demonstration line (examples/demo.par) against the
// simulated gateway: the driver through its C functions only, this thread as
// the host's thread, the simulator on ephemeral loopback ports.
//
// The driver's clock runs from a fixed morning and jumps when the test says
// so: ANSWER_TIME is long enough that no answer, however slow the machine,
// ever times out by itself, and a time-out happens exactly when the
// simulator has withheld an answer (dropped, corrupted, or a dead station)
// and the session jumps the clock past ANSWER_TIME. Time-outs can therefore
// be counted exactly on any machine, sanitizers and valgrind included.
#ifndef ZL_TESTS_SUPPORT_HOSTSESSION_H
#define ZL_TESTS_SUPPORT_HOSTSESSION_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "port/Clock.h"
#include "support/HostCalls.h"
#include "support/TestSupport.h"
#include "zlnetdrv.h"
#include "zlsim/Simulator.h"

namespace zl::test {

// Real time from 08:00 of a fixed day, plus the jumps made so far.
class SteppedClock : public Clock {
 public:
  SteppedClock();
  LocalDateTime Now() const override;
  void Jump(int64_t ms) { jumpMs_.fetch_add(ms); }

 private:
  const std::chrono::steady_clock::time_point start_;
  std::atomic<int64_t> jumpMs_{0};
};

// Channels of the demonstration line (ORIGINAL_CHANNELS): slot n owns
// (n - 1) * 500 + offset.
namespace demo {
constexpr uint16_t Ch(int slot, int offset) {
  return static_cast<uint16_t>(500 * (slot - 1) + offset);
}
constexpr int kBI = 1, kBO = 97, kAI = 193, kCT = 257, kMO = 305, kMI = 405;
constexpr int kErrorNoAnswer = 450, kErrorInMess = 451, kSleepTimeCh = 453, kErrCount = 454;
constexpr int kReadAItolvin = 460, kReadCT = 461, kWriteBO = 462, kInNowComm = 464;
constexpr int kReadBI = 472, kReadKI = 473, kReadAI = 475, kConnect = 476, kConnected = 478;
constexpr int kMsgCounter = 481;
// Driver-wide diagnostic channels.
constexpr uint16_t kClientConnected = 488, kQueued = 490, kPrefixCount = 493, kCycleState = 495,
                   kMessageCount = 498;
// The seconds the session's edits give ANSWER_TIME and SLEEP_TIME.
constexpr double kAnswerTime = 30.0;
constexpr double kSleepSeconds = 100.0;
// The numeric QQ variables of the first station, one of each type, set in
// its controller: BYTE 200, WORD 0x1234, INTEGER -2, CARDINAL 123456,
// LONGINT 123456789.
void SetQqNumbers(sim::ControllerModel &c);
}  // namespace demo

class HostSession : public HostCalls {
 public:
  HostSession() = default;
  ~HostSession();
  HostSession(const HostSession &) = delete;
  HostSession &operator=(const HostSession &) = delete;

  // Starts the simulator with options (on ephemeral ports) and the driver
  // with demo.par made quick (no pause after an answer, 1 ms between the
  // thread's passes) and slow to time out; edit may change the text further.
  // steppedClock: install the jumping clock (otherwise the real one runs).
  bool Start(const sim::SimOptions &options, std::string &error,
             const std::function<std::string(std::string)> &edit = {}, bool steppedClock = true);
  // Done, DisposeDriver, the simulator stopped, the real clock back.
  void Stop();

  // The gateway goes away and comes back on the same ports with fresh
  // controllers (the faults of options).
  bool RestartGateway(const sim::SimOptions &options, std::string &error);

  void *Handle() const { return h_; }
  sim::Simulator &Sim() { return *sim_; }
  SteppedClock &Clock() { return clock_; }
  const std::string &DriverFile() const { return driverFile_; }

  // Pumps the driver's messages (and makes the time-outs due) until pred
  // holds; false after timeoutMs.
  bool PumpUntil(const std::function<bool()> &pred, int timeoutMs = 60000);
  // The connect command of a station; waits until the driver confirms it.
  bool Connect(int slot);
  // Every queued request answered or dropped, the cycle idle (or the
  // connection lost, which empties the queues).
  bool Settle(int timeoutMs = 60000);

  // Pumps until the driver has read everything the gateway sent, so that no
  // answer from before waits to be taken for the next request's.
  bool Quiesce();

  // Answers the simulator withheld so far (dropped, corrupted, dead station,
  // held back until the next request), summed over every station, since the
  // gateway last started.
  uint64_t Withheld();
  // When the simulator has withheld an answer not yet timed out, jumps the
  // clock past ANSWER_TIME (after the driver has read and thrown away a
  // spoilt answer); answers the number of jumps, 0 or 1.
  int JumpWithheld();
  // The driver's counts of messages that came during a wait and were not
  // its answer, and of messages it dropped unread (its own frames back,
  // messages for no station of the line).
  uint32_t Unpaired();
  uint32_t Stray();
  // Jumps made by JumpWithheld over the whole session.
  uint64_t TimeoutsMade() const { return timeoutsMade_; }

 private:
  // The simulator's statistics start again with each gateway.
  void MarkGatewayStart();
  // Answers, active messages and echoed frames the simulator sent (each
  // with one PREFIX).
  double PrefixesSent();
  // Every answer prefix the simulator sent has been read by the driver, and
  // no message is half read.
  bool AllSentTakenIn();
  // At a quiet moment: what the driver read so far matches what was sent.
  void Rebase();

  TempDir dir_;
  SteppedClock clock_;
  bool clockInstalled_ = false;
  std::unique_ptr<sim::Simulator> sim_;
  std::string driverFile_;
  uint64_t withheldSeen_ = 0;
  double prefixBase_ = 0;
  uint64_t timeoutsMade_ = 0;
};

}  // namespace zl::test

#endif  // ZL_TESTS_SUPPORT_HOSTSESSION_H
