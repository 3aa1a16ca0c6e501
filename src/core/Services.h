// What the driver's logic needs from the status window and the communication
// thread. Driver provides it in the running driver; tests provide fakes that
// run everything on one thread.
#ifndef ZL_CORE_SERVICES_H
#define ZL_CORE_SERVICES_H

#include <functional>
#include <string_view>

namespace zl {

class DriverServices {
 public:
  virtual ~DriverServices() = default;

  // Host's thread: adds an event line under the 12-line rule (AddEvent).
  virtual void AddEvent(std::string_view text) = 0;
  // Host's thread: appends a line to the event list outside the 12-line rule
  // (the TCP client's status lines).
  virtual void AddStatusLine(std::string_view text) = 0;
  // Communication thread: PendingEvent := text, then AddToMemo through the
  // synchronised call, waiting for it (PostEvent).
  virtual void PostEvent(std::string_view text) = 0;
  // Communication thread: runs fn on the host's thread and waits for it. Never
  // call it while holding a driver lock.
  virtual void Synchronize(const std::function<void()> &fn) = 0;
  // Any thread: wakes the communication thread (ends its IdleTime sleep early).
  virtual void Wake() = 0;
};

}  // namespace zl

#endif  // ZL_CORE_SERVICES_H
