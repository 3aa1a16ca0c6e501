// A thread that sleeps ten minutes at a time, like a driver with a very long
// IDLE_TIME: only Wake (or Terminate) ends a sleep in time. It counts the
// sleeps that ended.
#ifndef ZL_TESTS_SUPPORT_SLEEPER_H
#define ZL_TESTS_SUPPORT_SLEEPER_H

#include <atomic>

#include "port/Thread.h"

namespace zl::test {

class Sleeper : public Thread {
 public:
  Sleeper() : Thread(nullptr) {}
  ~Sleeper() override { Stop(); }
  std::atomic<int> sleepsEnded{0};

 protected:
  void Execute() override {
    while (!Terminated()) {
      Sleep(600000);
      sleepsEnded.fetch_add(1);
    }
  }
};

}  // namespace zl::test

#endif  // ZL_TESTS_SUPPORT_SLEEPER_H
