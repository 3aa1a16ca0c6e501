#include "zlpoll/EventLoop.h"

#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

#include "zlpoll/DriverLib.h"

namespace zl::poll {

namespace {
constexpr int kSliceMs = 10;
}

Clock::time_point After(double seconds) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

EventLoop::EventLoop() {
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGINT);
  sigaddset(&mask, SIGTERM);
  sigaddset(&mask, SIGHUP);  // the terminal went away
  pthread_sigmask(SIG_BLOCK, &mask, &oldMask_);
  signalFd_ = ::signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
}

EventLoop::~EventLoop() {
  if (signalFd_ >= 0) ::close(signalFd_);
  pthread_sigmask(SIG_SETMASK, &oldMask_, nullptr);
}

void EventLoop::Poll(int timeoutMs) {
  pollfd fds[3];
  nfds_t n = 0;
  int driverAt = -1, signalAt = -1, stdinAt = -1;
  if (driver_ && driver_->MessageFd() >= 0) {
    driverAt = static_cast<int>(n);
    fds[n++] = pollfd{driver_->MessageFd(), POLLIN, 0};
  }
  if (signalFd_ >= 0) {
    signalAt = static_cast<int>(n);
    fds[n++] = pollfd{signalFd_, POLLIN, 0};
  }
  if (onKey_ && stdinOpen_) {
    stdinAt = static_cast<int>(n);
    fds[n++] = pollfd{STDIN_FILENO, POLLIN, 0};
  }
  const int ready = ::poll(fds, n, timeoutMs);
  // The driver's messages are dispatched when its descriptor says they wait.
  if (driverAt >= 0 && ready > 0 && (fds[driverAt].revents & POLLIN)) driver_->Pump(0);
  if (ready <= 0) return;
  if (signalAt >= 0 && (fds[signalAt].revents & POLLIN)) {
    signalfd_siginfo info;
    while (::read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
      interrupted_ = true;
    }
  }
  if (stdinAt >= 0 && fds[stdinAt].revents) {
    char keys[64];
    const ssize_t got = ::read(STDIN_FILENO, keys, sizeof keys);
    if (got <= 0) stdinOpen_ = false;  // end of input: stop watching it
    for (ssize_t i = 0; i < got; ++i) onKey_(keys[i]);
  }
}

EventLoop::Wait EventLoop::PumpUntil(const std::function<bool()> &done,
                                     Clock::time_point deadline) {
  for (;;) {
    if (hasEnd_ && Clock::now() >= end_) interrupted_ = true;
    if (interrupted_) return Wait::Interrupted;
    if (onTick_) onTick_();
    if (done()) return Wait::Done;
    const auto now = Clock::now();
    if (now >= deadline) return Wait::TimedOut;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    Poll(static_cast<int>(std::clamp<long long>(left, 0, kSliceMs)));
  }
}

bool EventLoop::PumpFor(double seconds) {
  return PumpUntil([] { return false; }, After(seconds)) != Wait::Interrupted;
}

struct TerminalKeys::Saved {
  termios mode;
};

TerminalKeys::TerminalKeys() {
  if (!::isatty(STDIN_FILENO)) return;
  termios mode;
  if (::tcgetattr(STDIN_FILENO, &mode) != 0) return;
  saved_ = std::make_unique<Saved>(Saved{mode});
  mode.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  mode.c_cc[VMIN] = 1;
  mode.c_cc[VTIME] = 0;
  active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &mode) == 0;
}

TerminalKeys::~TerminalKeys() {
  if (saved_) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_->mode);
}

}  // namespace zl::poll
