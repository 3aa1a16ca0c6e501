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

// The caller holds none of the driver's locks: the host's thread may be
// waiting for one of them while this call waits for the host's thread. The
// request queues and the receive store hold theirs only inside their own
// operations, so DataLock, the cycle state's and the sample state's locks
// are the ones a caller could hold here.
inline void PostEventFromThread(DriverInstance &di, std::string_view text)
    EXCLUDES(di.DataLock, di.Polling.Lock, di.Sample.Lock) {
  if (di.Services) di.Services->PostEvent(text);  // waits for the host's thread: no lock held
}

inline void SynchronizeFromThread(DriverInstance &di, const std::function<void()> &fn)
    EXCLUDES(di.DataLock, di.Polling.Lock, di.Sample.Lock) {
  if (di.Services) {
    di.Services->Synchronize(fn);  // waits for the host's thread: no lock held
  } else {
    fn();
  }
}

}  // namespace zl

#endif  // ZL_DRIVER_THREADCALLS_H
