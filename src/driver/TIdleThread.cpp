#include "driver/TIdleThread.h"

#include <thread>

#include "driver/CommPass.h"
#include "driver/DriverInstance.h"

namespace zl {

TIdleThread::TIdleThread(Label &label1, Label &label2, Memo &eventList,
                         DriverInstance *driverInstance, LineClient *client,
                         std::atomic<uint8_t> *idleGO, int32_t idleTime, MessageLoop *syncLoop)
    : Thread(syncLoop),
      EventList_(eventList),
      DriverInstance_(driverInstance),
      Client_(client),
      IdleGO_(idleGO),
      IdleTime_(idleTime),
      Label1_(label1),
      Label2_(label2) {
  if (DriverInstance_) DriverInstance_->OnDone.store(0);
}

TIdleThread::~TIdleThread() {
  Stop();
}

void TIdleThread::Execute() {
  if (!DriverInstance_) {
    while (!Terminated()) Pause();
    return;
  }
  DriverInstance *const di = DriverInstance_;
  PassContext ctx{*di, Client_, Label1_, Label2_, EventList_};
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
