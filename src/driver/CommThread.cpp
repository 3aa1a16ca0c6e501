#include "driver/CommThread.h"

#include <thread>

#include "core/DriverInstance.h"
#include "driver/CommPass.h"

namespace zl {

CommThread::CommThread(Label &queueStatusLabel, Label &activityLabel, Memo &eventList,
                       DriverInstance *driverInstance, LineClient *client,
                       std::atomic<uint8_t> *idleGO, int32_t idleTime, MessageLoop *syncLoop)
    : Thread(syncLoop),
      EventList_(eventList),
      DriverInstance_(driverInstance),
      Client_(client),
      IdleGO_(idleGO),
      IdleTime_(idleTime),
      QueueStatusLabel_(queueStatusLabel),
      ActivityLabel_(activityLabel) {
  if (DriverInstance_) DriverInstance_->OnDone.store(0);
}

CommThread::~CommThread() {
  Stop();
}

void CommThread::Execute() {
  if (!DriverInstance_) {
    while (!Terminated()) Pause();
    return;
  }
  DriverInstance *const di = DriverInstance_;
  PassContext ctx{*di, Client_, QueueStatusLabel_, ActivityLabel_, EventList_};
  ctx.Di.CommThreadRole.Assert();  // this is the communication thread
  while (!Terminated()) {
    if (di->CycleBusy.load() != 0 || di->OnDone.load() != 0) {
      // Stopping (or nothing to work on): wait for the termination request
      // without holding the processor.
      Pause();
      continue;
    }
    di->CycleBusy.store(1);
    int sleepMs = IdleTime_;
    bool advancing = false;
    if (Working()) {
      // Pass after pass while they advance: a message that has arrived is
      // taken, decoded and followed by the next frame without a sleep between.
      for (int passes = 1;; ++passes) {
        advancing = RunPass(ctx);
        passCount_.fetch_add(1, std::memory_order_acq_rel);
        if (!advancing || passes >= kMostPassesPerWake || !Working()) break;
      }
      if (IdleTime_ > 0 && !advancing) sleepMs = MsToNextDeadline(*di, IdleTime_);
    }
    di->CycleBusy.store(0);
    if (advancing) {
      std::this_thread::yield();  // more to do: only let others run first
    } else if (IdleTime_ > 0) {
      // Bytes from the gateway, a host's request and Terminate end it early.
      Sleep(sleepMs);
    } else {
      std::this_thread::yield();  // no sleep between passes, but let others run
    }
  }
}

bool CommThread::Working() const {
  return !Terminated() && IdleGO_ && IdleGO_->load() == 1 && DriverInstance_->OnDone.load() == 0;
}

}  // namespace zl
