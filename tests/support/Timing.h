// Time in tests: waiting for another thread without assuming how fast the
// machine is, and fixed moments for the injectable clock.
#ifndef ZL_TESTS_SUPPORT_TIMING_H
#define ZL_TESTS_SUPPORT_TIMING_H

#include <functional>

#include "port/Clock.h"

namespace zl::test {

// Polls pred every millisecond until it holds or timeoutMs have passed;
// answers pred's last value. The default suits a slow, busy CI machine.
bool WaitUntil(const std::function<bool()> &pred, int timeoutMs = 10000);

// 20 August 2007 at the given time of day.
LocalDateTime At(int hour, int minute = 0, int second = 0, int millisecond = 0);

}  // namespace zl::test

#endif  // ZL_TESTS_SUPPORT_TIMING_H
