// The host thread's message queue: what the Windows message queue and the
// driver's hidden window gave the driver.
//
// A MessageLoop belongs to the thread that creates it (the host's thread, in
// MakeDriver). Tasks posted from any thread, tasks sent by the communication
// thread (its synchronised call), and socket notifications all run only on
// that thread, inside Pump, in the order they arrived.
//
// Socket notifications follow WinSock's asynchronous select:
//   FD_CONNECT  once, when a non-blocking connect completes (with its error);
//   FD_READ     when data wait; one-shot: the next FD_READ comes only after
//               the handler has called recv (and said so with ReadDone), and
//               then at once if data still wait;
//   FD_CLOSE    once, when the peer closes or the connection fails (with the
//               error, 0 for a graceful close), after the data before it.
// Errors are WinSock numbers (port/WinSockErrors.h).
//
// Fd() is an epoll descriptor that is readable while messages wait, so a host
// can poll it with its own descriptors. On Windows the loop is a hidden window
// whose messages the host's own loop dispatches; Fd() is 0 there once that
// window exists (-1 when it could not be made) and names nothing to poll.
#ifndef ZL_PORT_MESSAGELOOP_H
#define ZL_PORT_MESSAGELOOP_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace zl {

class MessageLoop {
 public:
  using Task = std::function<void()>;
  // event: one of the kFd* codes; error: a WinSock number or 0.
  using SocketHandler = std::function<void(int fd, int event, int error)>;

  static constexpr int kFdRead = 1;
  static constexpr int kFdConnect = 16;
  static constexpr int kFdClose = 32;

  MessageLoop();
  ~MessageLoop();
  MessageLoop(const MessageLoop &) = delete;
  MessageLoop &operator=(const MessageLoop &) = delete;

#ifdef _WIN32
  int Fd() const {
    return window_ ? 0 : -1;
  }
#else
  int Fd() const {
    return epoll_;
  }
#endif
  // Owner thread, while no other thread uses the loop: creates the
  // descriptors the constructor could not (a process out of descriptors).
  // Answers whether the loop can work.
  bool Open();
  bool IsOwnerThread() const {
    return std::this_thread::get_id() == owner_;
  }

  // Queues a task for the owner thread (any thread).
  void Post(Task task);

  // Runs task on the owner thread and waits until it has run (the
  // synchronised call). On the owner thread it runs at once. Answers false,
  // without running the task, once the loop has been shut down or the call
  // was cancelled before the owner thread began it; such a task never runs
  // later, so it may refer to the sender's stack.
  bool Send(Task task);

  // Owner thread: waits up to timeoutMs (0: no wait, -1: until a message
  // arrives) for the first message, then dispatches every message waiting at
  // that moment. Answers how many it dispatched. On another thread it does
  // nothing and answers 0.
  int Pump(int timeoutMs);

  // Owner thread: WSAAsyncSelect. Starts, changes (mask) or, with mask 0,
  // stops the notifications of a socket. A change drops the notifications
  // already queued for the socket's earlier watch. Stop the watch (mask 0)
  // before closing the socket: its number may be reused at once.
  void WatchSocket(int fd, int mask, SocketHandler handler);
  // Owner thread: the handler has called recv on fd; re-arms FD_READ.
  void ReadDone(int fd);
  // Owner thread: queues a notification for a watched socket as if the socket
  // had produced it (a connect refused at once is reported this way, as
  // WinSock reports it: later, through FD_CONNECT).
  void PostSocketEvent(int fd, int event, int error);

  // Refuses further Sends and releases every thread waiting in Send (their
  // tasks are not run). Posted tasks still run when pumped.
  void Shutdown();
  // Any thread: releases every Send waiting at this moment whose task has not
  // begun (those tasks are dropped); a task already running is waited for.
  // Later Sends work as before. Lets a thread that cannot pump stop a thread
  // blocked in a synchronised call.
  void CancelSends();
  bool IsShutDown() const;

  // Number of messages waiting (tasks and socket notifications observed).
  std::size_t PendingCount() const;
  // Number of threads waiting in Send now (for observers: a thread counted
  // here moves on only once the owner thread pumps or the send is cancelled).
  std::size_t WaitingSends() const;

#ifdef _WIN32
  // The hidden window's procedure hands each message here; answers false for
  // a message that is not the loop's own.
  bool Dispatch(unsigned message, uintptr_t wParam, intptr_t lParam);

 private:
  struct SendCall;
  struct Watch {
    int mask = 0;
    unsigned message = 0;  // the watch's own notification message
    SocketHandler handler;
  };
  void RunPostedTask();

  const std::thread::id owner_;
  void *window_ = nullptr;  // HWND
  bool socketsStarted_ = false;

  mutable std::mutex mutex_;  // guards tasks_, posted_, calls_, shutdown_, cancelEpoch_
  std::condition_variable sendDone_;
  std::deque<Task> tasks_;
  std::size_t posted_ = 0;  // task messages in the window's queue
  std::map<uint64_t, std::shared_ptr<SendCall>> calls_;
  uint64_t nextCall_ = 1;
  bool shutdown_ = false;
  uint64_t cancelEpoch_ = 0;
  std::size_t waitingSends_ = 0;

  // Owner thread only.
  std::map<int, Watch> watches_;
  unsigned nextSocketMessage_ = 0;
  int dispatched_ = 0;
#else
 private:
  struct Watch {
    int mask = 0;
    uint64_t generation = 0;
    SocketHandler handler;
    bool registered = false;  // added to epoll
    bool connecting = false;  // waiting for the connect to complete
    bool readArmed = false;   // an FD_READ may be reported
    bool finished = false;    // FD_CLOSE or a failed FD_CONNECT was reported
  };
  struct Message {
    Task task;    // a task, or
    int fd = -1;  // a socket notification
    int event = 0;
    int error = 0;
    uint64_t generation = 0;
  };

  void Enqueue(Message m);
  void Signal();  // makes Fd() readable
  void Register(int fd, Watch &w);
  void Rearm(int fd, Watch &w);
  void OnReady(int fd, uint32_t events);
  void DrainWakeup();
  void Deliver(const Message &m);

  const std::thread::id owner_;
  int epoll_ = -1;
  int wakeup_ = -1;  // eventfd: readable while tasks wait

  mutable std::mutex mutex_;  // guards queue_, shutdown_, cancelEpoch_, every Send's stage
  std::condition_variable sendDone_;
  std::deque<Message> queue_;
  bool shutdown_ = false;
  uint64_t cancelEpoch_ = 0;  // bumped by CancelSends
  std::size_t waitingSends_ = 0;

  // Owner thread only.
  std::map<int, Watch> watches_;
  uint64_t nextGeneration_ = 1;
#endif
};

}  // namespace zl

#endif  // ZL_PORT_MESSAGELOOP_H
