// A host name lookup that never holds up the loop's thread: it runs on a
// thread of its own, and its result comes back as a task on the loop.
#ifndef ZL_PORT_ASYNCLOOKUP_H
#define ZL_PORT_ASYNCLOOKUP_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "port/MessageLoop.h"

namespace zl {

class AsyncLookup {
 public:
  // rc: 0, or the WinSock number of the failure; address in network order.
  using Done = std::function<void(int rc, uint32_t address)>;

  explicit AsyncLookup(MessageLoop &loop) : loop_(loop) {}
  // A lookup still running reports nothing (its thread ends on its own).
  ~AsyncLookup() { Cancel(); }
  AsyncLookup(const AsyncLookup &) = delete;
  AsyncLookup &operator=(const AsyncLookup &) = delete;

  // Loop's thread: looks name up; done runs later on the loop's thread,
  // unless Cancel, a new Start or the destruction comes first.
  void Start(const std::string &name, Done done);
  // Loop's thread: the lookup running, if any, reports nothing.
  void Cancel();
  // Loop's thread: a lookup runs and has not reported.
  bool Running() const;

 private:
  struct Job;
  MessageLoop &loop_;
  std::shared_ptr<Job> job_;
};

}  // namespace zl

#endif  // ZL_PORT_ASYNCLOOKUP_H
