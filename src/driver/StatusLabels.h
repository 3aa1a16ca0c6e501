// The two status labels that the communication thread's housekeeping drives.
// Both are safe to call from any thread (the label guards its caption).
#ifndef ZL_DRIVER_STATUSLABELS_H
#define ZL_DRIVER_STATUSLABELS_H

#include <cstddef>
#include <string_view>

#include "port/Window.h"

namespace zl {

// ActivityLabel, every 100 ms: while either queue holds a request, one dot more
// (appended to whatever the caption holds) until the caption has 10
// characters, then a single dot again; with both queues empty, "klid".
void StepActivityIndicator(Label &activityLabel, std::size_t primaryCount,
                           std::size_t secondaryCount);

// QueueStatusLabel: shows the queue status text; the caption changes only when the text
// differs. Answers whether it changed.
bool ShowQueueStatus(Label &queueStatusLabel, std::string_view statusText);

}  // namespace zl

#endif  // ZL_DRIVER_STATUSLABELS_H
