// The communication thread's two ways of reaching the host's thread: an
// event line (PostEvent) and a synchronised call. Both wait for the host's
// thread, so neither may be made while a driver lock is held. Without
// services (a driver instance tested alone) the call runs at once.
#ifndef ZL_DRIVER_THREADCALLS_H
#define ZL_DRIVER_THREADCALLS_H

#include <functional>
#include <string_view>

#include "core/DriverInstance.h"

namespace zl {

inline void PostEventFromThread(DriverInstance &di, std::string_view text) {
  if (di.Services) di.Services->PostEvent(text);
}

inline void SynchronizeFromThread(DriverInstance &di, const std::function<void()> &fn) {
  if (di.Services) {
    di.Services->Synchronize(fn);
  } else {
    fn();
  }
}

}  // namespace zl

#endif  // ZL_DRIVER_THREADCALLS_H
