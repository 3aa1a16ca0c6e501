// The event list's rules that do not need the window itself: its size and the
// hand-over of a line from the communication thread.
#ifndef ZL_DRIVER_EVENTLINES_H
#define ZL_DRIVER_EVENTLINES_H

#include <cstddef>

#include "core/DriverInstance.h"

namespace zl {

// AddEvent keeps the list at this many lines (it deletes one line per call).
constexpr std::size_t kEventListLines = 12;
// The TCP client's status lines go past that rule; this many lines at most.
constexpr std::size_t kStatusLineCeiling = 200;

// Host's thread, called synchronised by the communication thread: a waiting
// PendingEvent becomes an event line and a debug line ("AddToMemo"), then
// PendingEvent is emptied. An empty PendingEvent does nothing.
void AddToMemo(DriverInstance &di) REQUIRES(di.CommThreadRole);

}  // namespace zl

#endif  // ZL_DRIVER_EVENTLINES_H
