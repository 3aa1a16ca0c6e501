// CommThread: the communication thread. It owns nothing but its sleep and
// termination state; it borrows the driver's state, the line client and the
// two status labels, and runs passes (driver/CommPass.h) until termination
// is requested: pass after pass while they advance, then a sleep until the
// next deadline it knows (RunPass, MsToNextDeadline), IdleTime milliseconds
// at the most.
//
// Created suspended; Init resumes it once the driver is complete. IdleGO 1
// lets it work, 0 keeps it idle (empty turns, still sleeping IdleTime). Once
// OnDone is set it does no more passes and waits only for the termination
// request; that wait yields the processor instead of spinning on it.
// A Wake ends the current (or next) sleep at once: the gateway client wakes
// it when bytes arrive, the host's calls when they queue a request.
#ifndef ZL_DRIVER_COMMTHREAD_H
#define ZL_DRIVER_COMMTHREAD_H

#include <atomic>
#include <cstdint>

#include "port/Thread.h"
#include "port/Window.h"

namespace zl {

struct DriverInstance;
class LineClient;
class MessageLoop;

class CommThread : public Thread {
 public:
  static constexpr const char *ClassName =
      "TIdleThread";  // shown in the event line as it always was

  // The seven values are copied once; syncLoop is the host thread's loop that
  // the synchronised calls go to. Sets OnDone := 0.
  CommThread(Label &queueStatusLabel, Label &activityLabel, Memo &eventList,
             DriverInstance *driverInstance, LineClient *client, std::atomic<uint8_t> *idleGO,
             int32_t idleTime, MessageLoop *syncLoop);
  ~CommThread() override;

  int32_t IdleTime() const { return IdleTime_; }
  // Passes run so far (turns with IdleGO 1), for observers.
  uint64_t PassCount() const { return passCount_.load(std::memory_order_acquire); }

 protected:
  void Execute() override;

 private:
  // A wake that keeps advancing still ends after this many passes, so that
  // a gateway that never stops talking cannot hold the thread in one wake.
  static constexpr int kMostPassesPerWake = 256;

  // IdleGO is 1, and neither OnDone nor the termination request is set.
  bool Working() const;

  Memo &EventList_;
  DriverInstance *const DriverInstance_;
  LineClient *const Client_;
  std::atomic<uint8_t> *const IdleGO_;
  const int32_t IdleTime_;
  Label &QueueStatusLabel_;
  Label &ActivityLabel_;
  std::atomic<uint64_t> passCount_{0};
};

}  // namespace zl

#endif  // ZL_DRIVER_COMMTHREAD_H
