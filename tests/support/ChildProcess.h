// A program run by a test as a child process: its standard output and error
// collected, signals sent to it, and a deadline after which it is killed, so a
// test never hangs on a program that does.
#ifndef ZL_TESTS_SUPPORT_CHILDPROCESS_H
#define ZL_TESTS_SUPPORT_CHILDPROCESS_H

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace zl::test {

struct ChildResult {
  int Exit = -1;          // the exit code; 128 + n when killed by signal n
  bool TimedOut = false;  // killed at the deadline
  std::string Out, Err;
};

class ChildProcess {
 public:
  // Starts program with args (without the program's name); env holds
  // "NAME=value" texts added to (or replacing in) the test's environment.
  // Standard input is /dev/null.
  ChildProcess(const std::string &program, const std::vector<std::string> &args,
               const std::vector<std::string> &env = {});
  ~ChildProcess();  // kills a child still running
  ChildProcess(const ChildProcess &) = delete;
  ChildProcess &operator=(const ChildProcess &) = delete;

  bool Started() const { return pid_ > 0; }
  void Signal(int signal);
  // Collects output until pred(output so far) holds or the child ends;
  // false at the deadline.
  bool WaitForOutput(const std::function<bool(const std::string &)> &pred, double seconds);
  // Waits for the end, killing the child at the deadline.
  ChildResult Wait(double seconds);

 private:
  void Collect(int timeoutMs);

  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
  ChildResult result_;
  bool ended_ = false;
};

// Runs a program to its end (or the deadline).
ChildResult RunChild(const std::string &program, const std::vector<std::string> &args,
                     const std::vector<std::string> &env = {}, double seconds = 60);

}  // namespace zl::test

#endif  // ZL_TESTS_SUPPORT_CHILDPROCESS_H
