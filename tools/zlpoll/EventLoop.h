// zlpoll's own poll loop: the driver's message descriptor, a signalfd for
// Ctrl-C and SIGTERM, and (for watch) the keys typed on a terminal. Every
// wait has a deadline, so zlpoll never hangs.
#ifndef ZL_ZLPOLL_EVENTLOOP_H
#define ZL_ZLPOLL_EVENTLOOP_H

#include <signal.h>

#include <chrono>
#include <functional>
#include <memory>

namespace zl::tools {
class DriverSession;
}  // namespace zl::tools

namespace zl::poll {

using Clock = std::chrono::steady_clock;

// A moment seconds from now.
Clock::time_point After(double seconds);

using tools::DriverSession;

class EventLoop {
 public:
  enum class Wait { Done, TimedOut, Interrupted };

  // Blocks SIGINT, SIGTERM and SIGHUP for this thread and every thread started after
  // it (the driver's thread among them) and takes them through a signalfd.
  // Construct it before the driver library is loaded.
  EventLoop();
  ~EventLoop();
  EventLoop(const EventLoop &) = delete;
  EventLoop &operator=(const EventLoop &) = delete;

  void Attach(DriverSession *driver) { driver_ = driver; }
  // Keys typed on standard input (a terminal put in character mode by the
  // caller); empty: standard input is not watched.
  void OnKey(std::function<void(char)> handler) { onKey_ = std::move(handler); }

  // Called on every turn of every wait (at least every 10 ms), for views that
  // redraw while zlpoll waits; it rate-limits itself.
  void OnTick(std::function<void()> handler) { onTick_ = std::move(handler); }
  // From this moment every wait ends as if Ctrl-C had been pressed (the end
  // of the demo).
  void EndAt(Clock::time_point end) {
    end_ = end;
    hasEnd_ = true;
  }

  // Pumps the driver's messages until done() holds, the deadline passes, or
  // Ctrl-C (or a quit key, see Quit) arrives. done() is tested at least every
  // 10 ms, since the driver's thread changes values without a message.
  Wait PumpUntil(const std::function<bool()> &done, Clock::time_point deadline);
  // Pumps for a while; false when interrupted.
  bool PumpFor(double seconds);

  // Ends every wait as if Ctrl-C had been pressed.
  void Quit() { interrupted_ = true; }
  bool Interrupted() const { return interrupted_; }

 private:
  void Poll(int timeoutMs);

  DriverSession *driver_ = nullptr;
  std::function<void(char)> onKey_;
  std::function<void()> onTick_;
  Clock::time_point end_{};
  bool hasEnd_ = false;
  sigset_t oldMask_{};
  int signalFd_ = -1;
  bool stdinOpen_ = true;
  bool interrupted_ = false;
};

// Standard input in character mode without echo while it lives (when it is a
// terminal), so watch sees a "q" at once; the old mode comes back on every way
// out.
class TerminalKeys {
 public:
  TerminalKeys();
  ~TerminalKeys();
  TerminalKeys(const TerminalKeys &) = delete;
  TerminalKeys &operator=(const TerminalKeys &) = delete;
  bool Active() const { return active_; }

 private:
  bool active_ = false;
  struct Saved;
  std::unique_ptr<Saved> saved_;
};

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_EVENTLOOP_H
