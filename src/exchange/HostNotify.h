// The two ways the data entry points reach beyond the driver's data: an event
// line in the status window and the wake-up of the communication thread.
// Both are called without holding a driver lock.
#ifndef ZL_EXCHANGE_HOSTNOTIFY_H
#define ZL_EXCHANGE_HOSTNOTIFY_H

#include <string_view>

#include "core/DriverInstance.h"

namespace zl {

inline void AddEventLine(DriverInstance &di, std::string_view text) {
  if (di.Services) di.Services->AddEvent(text);
}

inline void WakeThread(DriverInstance &di) {
  if (di.Services) di.Services->Wake();
}

}  // namespace zl

#endif  // ZL_EXCHANGE_HOSTNOTIFY_H
