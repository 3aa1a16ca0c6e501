#include "driver/CommThread.h"

#include <thread>

#include "driver/CommPass.h"
#include "core/DriverInstance.h"

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
  while (!Terminated()) {
    if (di->CycleBusy.load() != 0 || di->OnDone.load() != 0) {
      // Stopping (or nothing to work on): wait for the termination request
      // without holding the processor.
      Pause();
      continue;
    }
    di->CycleBusy.store(1);
    if (IdleGO_ && IdleGO_->load() == 1) {
      RunPass(ctx);
      passCount_.fetch_add(1, std::memory_order_acq_rel);
    }
    di->CycleBusy.store(0);
    if (IdleTime_ > 0) {
      Sleep(IdleTime_);
    } else {
      std::this_thread::yield();  // no sleep between passes, but let others run
    }
  }
}

}  // namespace zl
