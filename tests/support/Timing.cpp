#include "support/Timing.h"

#include <chrono>
#include <thread>

namespace zl::test {

bool WaitUntil(const std::function<bool()> &pred, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) return pred();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

LocalDateTime At(int hour, int minute, int second, int millisecond) {
  LocalDateTime t;
  t.Year = 2007;
  t.Month = 8;
  t.Day = 20;
  t.Hour = hour;
  t.Minute = minute;
  t.Second = second;
  t.Millisecond = millisecond;
  return t;
}

}  // namespace zl::test
