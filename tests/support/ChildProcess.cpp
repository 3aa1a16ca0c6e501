#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

extern char **environ;

namespace zl::test {

namespace {

using Clock = std::chrono::steady_clock;

// The test's environment with the additions: a "NAME=" entry replaces the
// test's own NAME.
std::vector<std::string> Environment(const std::vector<std::string> &extra) {
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string &x : extra) replaced = replaced || x.rfind(name, 0) == 0;
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

std::vector<char *> Pointers(std::vector<std::string> &texts) {
  std::vector<char *> out;
  for (std::string &t : texts) out.push_back(t.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &args,
                           const std::vector<std::string> &env) {
  int outPipe[2], errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) return;
  if (::pipe2(errPipe, O_CLOEXEC) != 0) {
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  std::vector<std::string> argvTexts = {program};
  argvTexts.insert(argvTexts.end(), args.begin(), args.end());
  std::vector<std::string> envTexts = Environment(env);
  std::vector<char *> argv = Pointers(argvTexts), envp = Pointers(envTexts);
  if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
    pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  out_ = outPipe[0];
  err_ = errPipe[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !ended_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (out_ >= 0) ::close(out_);
  if (err_ >= 0) ::close(err_);
}

void ChildProcess::Signal(int signal) {
  if (pid_ > 0 && !ended_) ::kill(pid_, signal);
}

void ChildProcess::Collect(int timeoutMs) {
  pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
  if (::poll(fds, 2, timeoutMs) <= 0) return;
  char buffer[4096];
  for (int i = 0; i < 2; ++i) {
    if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
    const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
    if (n > 0) (i == 0 ? result_.Out : result_.Err).append(buffer, static_cast<std::size_t>(n));
  }
}

bool ChildProcess::WaitForOutput(const std::function<bool(const std::string &)> &pred,
                                 double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < deadline) {
    if (pred(result_.Out)) return true;
    int status = 0;
    if (!ended_ && ::waitpid(pid_, &status, WNOHANG) == pid_) {
      ended_ = true;
      result_.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (ended_) {
      Collect(0);
      return pred(result_.Out);
    }
    Collect(20);
  }
  return pred(result_.Out);
}

ChildResult ChildProcess::Wait(double seconds) {
  if (pid_ <= 0) return result_;
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (!ended_) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      ended_ = true;
      result_.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (Clock::now() >= deadline) {
      result_.TimedOut = true;
      ::kill(pid_, SIGKILL);
      continue;
    }
    Collect(20);
  }
  // What the child wrote before it ended.
  for (;;) {
    const std::size_t before = result_.Out.size() + result_.Err.size();
    Collect(0);
    if (result_.Out.size() + result_.Err.size() == before) break;
  }
  return result_;
}

ChildResult RunChild(const std::string &program, const std::vector<std::string> &args,
                     const std::vector<std::string> &env, double seconds) {
  ChildProcess child(program, args, env);
  return child.Wait(seconds);
}

}  // namespace zl::test
