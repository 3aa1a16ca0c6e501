#include "port/Thread.h"

#include <chrono>

#include "port/MessageLoop.h"

namespace zl {

Thread::Thread(MessageLoop *syncLoop) : loop_(syncLoop), thread_([this] { Body(); }) {}

Thread::~Thread() {
  Stop();
}

void Thread::Body() {
  bool run;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [&] { return resumed_ || cancelled_; });
    run = resumed_;
  }
  if (run) Execute();
  std::lock_guard<std::mutex> lock(mutex_);
  finished_ = true;
  cv_.notify_all();
}

void Thread::Resume() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (cancelled_) return;
  resumed_ = true;
  cv_.notify_all();
}

bool Thread::Suspended() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !resumed_ && !finished_;
}

void Thread::Terminate() {
  std::lock_guard<std::mutex> lock(mutex_);
  terminated_.store(true, std::memory_order_release);
  cv_.notify_all();
}

void Thread::Wake() {
  // A host scan wakes the thread once per call: only the first wake of a
  // pass takes the lock and notifies, the others cost one atomic exchange.
  if (wakePending_.exchange(true, std::memory_order_acq_rel)) return;
  // Under the lock, a Sleep about to wait sees either the flag or the notification.
  std::lock_guard<std::mutex> lock(mutex_);
  cv_.notify_all();
}

bool Thread::Finished() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return finished_;
}

void Thread::WaitFor() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    // Called from Execute itself: the thread cannot wait for its own end.
    thread_.detach();
    return;
  }
  const bool pump = loop_ && loop_->IsOwnerThread();
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (finished_) break;
      if (!pump) {
        if (loop_) loop_->CancelSends();
        cv_.wait_for(lock, std::chrono::milliseconds(2), [&] { return finished_; });
        continue;
      }
    }
    // Serves the thread's synchronised calls (and whatever else waits).
    loop_->Pump(1);
  }
  thread_.join();
}

void Thread::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    terminated_.store(true, std::memory_order_release);
    if (!resumed_) cancelled_ = true;
    cv_.notify_all();
  }
  WaitFor();
}

bool Thread::Synchronize(const std::function<void()> &fn) {
  if (!loop_) return false;
  return loop_->Send(fn);
}

void Thread::Sleep(int ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (ms > 0) {
    cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] {
      return wakePending_.load(std::memory_order_acquire) ||
             terminated_.load(std::memory_order_acquire);
    });
  }
  wakePending_.store(false, std::memory_order_release);
}

void Thread::Pause() {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait_for(lock, std::chrono::milliseconds(1),
               [&] { return terminated_.load(std::memory_order_acquire); });
}

}  // namespace zl
