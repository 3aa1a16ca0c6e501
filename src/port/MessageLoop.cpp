// What the message loop does alike on every system: the state that releases
// the threads waiting in Send (shut down, or their sends cancelled), kept
// under the loop's lock, which each backend's Send waits on.
#include "port/MessageLoop.h"

namespace zl {

void MessageLoop::Shutdown() {
  std::lock_guard<std::mutex> lock(mutex_);
  shutdown_ = true;
  sendDone_.notify_all();
}

void MessageLoop::CancelSends() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++cancelEpoch_;
  sendDone_.notify_all();
}

bool MessageLoop::IsShutDown() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return shutdown_;
}

std::size_t MessageLoop::WaitingSends() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return waitingSends_;
}

}  // namespace zl
