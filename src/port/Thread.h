// A worker thread in the manner the driver was designed around: created
// suspended, resumed once, asked to terminate by a flag its loop tests, and
// able to run a function on the host's thread while it waits (Synchronize).
//
// Ending: the object never frees itself. Its owner stops it (Stop or
// Terminate + WaitFor) and then destroys it; WaitFor pumps the host's message
// loop while it waits, so a thread blocked in Synchronize always finishes.
// A derived class must call Stop() in its own destructor, so that Execute has
// returned before the derived part is destroyed.
#ifndef ZL_PORT_THREAD_H
#define ZL_PORT_THREAD_H

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace zl {

class MessageLoop;

class Thread {
 public:
  // syncLoop: the host thread's loop that Synchronize sends to and WaitFor
  // pumps (not owned; may be null: Synchronize then runs nothing and answers false).
  explicit Thread(MessageLoop *syncLoop);
  virtual ~Thread();
  Thread(const Thread &) = delete;
  Thread &operator=(const Thread &) = delete;

  // Lets a suspended thread run Execute. Later calls do nothing.
  void Resume();
  bool Suspended() const;

  // Sets the termination request and ends a running Sleep.
  void Terminate();
  bool Terminated() const { return terminated_.load(std::memory_order_acquire); }

  // Ends the current or the next Sleep early (a request that needs the thread now).
  void Wake();

  // Waits until the thread has ended. On the loop's owner thread it pumps the
  // loop meanwhile; on any other thread it cancels the synchronised calls the
  // thread is blocked in (they are not run). A thread that was never resumed
  // must be terminated (or stopped) first.
  void WaitFor();

  // Terminate, then WaitFor. A thread never resumed ends without running
  // Execute. Safe to call more than once.
  void Stop();

  // Execute has returned (or will never run).
  bool Finished() const;

  // Runs fn on the loop's owner thread and waits for it (the synchronised
  // call; at once when called there). Answers false when fn was not run: no
  // loop, loop shut down, or the call cancelled by WaitFor.
  bool Synchronize(const std::function<void()> &fn);

 protected:
  // The thread's work; runs once, after Resume, on the thread.
  virtual void Execute() = 0;

  // Thread: sleeps up to ms milliseconds; Wake and Terminate end it early.
  // ms <= 0 does not wait but still consumes a pending Wake.
  void Sleep(int ms);

  // Thread: gives the processor away for a moment (at most a millisecond),
  // returning at once on a termination request. For loops that wait for
  // nothing but that request.
  void Pause();

 private:
  void Body();

  MessageLoop *const loop_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;  // resume, wake, terminate, finish
  bool resumed_ = false;
  bool cancelled_ = false;  // stopped before it was resumed
  // Set by Wake, cleared when a Sleep ends. A Wake that finds it set has
  // nothing to add: the next Sleep ends at once anyway.
  std::atomic<bool> wakePending_{false};
  bool finished_ = false;
  std::atomic<bool> terminated_{false};
  std::thread thread_;  // last: starts once the fields above exist
};

}  // namespace zl

#endif  // ZL_PORT_THREAD_H
