// What zlpoll does with a station through the driver's channels: connect its
// gateway, hand the driver requests, and know when their answers are in.
//
// How an answer is known to have arrived. The driver keeps every request in
// its queues until the answer to it has been received (a station without a
// PHONE number is retried until it answers; one with a number gives a request
// up after NUM_TOLVIN_ERROR failures and sets in_last_com_err, unless
// STAY_IN_QUEUE_ON_TIMEOUT keeps it queued). So after
// zlpoll has queued its requests it waits, within --timeout, until
//   - both queues are empty (diagnostic channel 490 reads 0; 497 counts the
//     writes alone) and the polling cycle is idle (495 reads 0), by which
//     time the last answer has also been decoded;
// and then counts the exchange as answered when
//   - the station's bi_new flag of every group read reads 1 (zlpoll clears
//     the flags before it triggers the reads), and for the groups without a
//     flag (counters, memory blocks, QQ variables, writes) the station's
//     ErrorNoAnswer count did not grow where a request could have been given up
//     (a station with a PHONE number, without STAY_IN_QUEUE_ON_TIMEOUT);
//   - no error item came ("E": ErrorInMess did not grow) and in_last_com_err
//     reads 0;
//   - the connection is still up (488 and in_connected_modem read 1).
// A station that falls asleep (its SleepTime channel above 0) will not be
// asked again before its sleep ends, so the wait ends there at once. Every
// failure is exit code 3 and a message saying what to check.
#ifndef ZL_ZLPOLL_POLLER_H
#define ZL_ZLPOLL_POLLER_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "zlpoll/EventLoop.h"
#include "zlpoll/Groups.h"
#include "zlpoll/Values.h"

namespace zl::tools {
class DriverSession;
}  // namespace zl::tools

namespace zl::poll {

using tools::DriverSession;
class ParamFile;

// Diagnostic channels of the driver.
constexpr uint16_t kChConnected = 488;
constexpr uint16_t kChQueued = 490;
constexpr uint16_t kChCycleState = 495;
constexpr uint16_t kChPrimaryQueued = 497;

struct Outcome {
  int Exit = 0;         // kExitOk, kExitUsage, kExitNoAnswer or kExitInterrupted
  std::string Message;  // what went wrong and what to do next
  bool Ok() const { return Exit == 0; }
};

class Poller {
 public:
  Poller(DriverSession &driver, EventLoop &loop, const ParamFile &file, double timeoutSeconds);

  // Connects the station's gateway (out_connect_modem) unless the station is
  // online already, and waits for in_connected_modem.
  Outcome Connect(int station);

  // Clears the flags, lets issue() queue requests, and waits for their
  // answers as the header says. allFlagged: every request issued raises one
  // of the flags when it is answered. progress, when given, is asked on every
  // turn of the wait: true (something moved) starts the --timeout afresh, so
  // a long transfer that keeps moving is not cut off.
  Outcome Exchange(int station, const std::vector<uint16_t> &flags, bool allFlagged,
                   const std::function<void()> &issue, const std::function<bool()> &progress = {});

  // Triggers the reads of the groups and waits for them.
  Outcome Read(int station, const std::vector<Group> &groups);

  DriverSession &Driver() { return driver_; }
  EventLoop &Loop() { return loop_; }
  double TimeoutSeconds() const { return timeout_; }

  // What answers have brought since the program started: the last value of a
  // channel read in a type after an answer. Recall: nullptr when none has.
  void Remember(uint16_t channel, uint32_t type, const Value &v) { brought_[{channel, type}] = v; }
  const Value *Recall(uint16_t channel, uint32_t type) const {
    auto it = brought_.find({channel, type});
    return it == brought_.end() ? nullptr : &it->second;
  }

 private:
  // The station's record, or an outcome naming the problem.
  const StationConfig *Lookup(int station, Outcome &out) const;
  std::string LastEvents(std::size_t count) const;
  Outcome Failed(const std::string &message) const;

  DriverSession &driver_;
  EventLoop &loop_;
  const ParamFile &file_;
  double timeout_;
  std::map<std::pair<uint16_t, uint32_t>, Value> brought_;
};

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_POLLER_H
