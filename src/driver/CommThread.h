// CommThread: the communication thread. It owns nothing but its sleep and
// termination state; it borrows the driver's state, the line client and the
// two status labels, and runs a pass (driver/CommPass.h) again and again,
// sleeping IdleTime milliseconds after each, until termination is requested.
//
// Created suspended; Init resumes it once the driver is complete. IdleGO 1
// lets it work, 0 keeps it idle (empty turns, still sleeping IdleTime). Once
// OnDone is set it does no more passes and waits only for the termination
// request; that wait yields the processor instead of spinning on it.
// A Wake ends the current (or next) IdleTime sleep at once.
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
