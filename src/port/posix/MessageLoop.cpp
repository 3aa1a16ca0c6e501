#include "port/MessageLoop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>

#include "port/WinSockErrors.h"

namespace zl {
namespace {

int SocketError(int fd) {
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
  return err;
}

}  // namespace

MessageLoop::MessageLoop() : owner_(std::this_thread::get_id()) {
  Open();
}

bool MessageLoop::Open() {
  if (epoll_ >= 0 && wakeup_ >= 0) return true;
  if (epoll_ < 0) epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
  if (wakeup_ < 0) wakeup_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (epoll_ < 0 || wakeup_ < 0) return false;
  struct epoll_event ev = {};
  ev.events = EPOLLIN;
  ev.data.fd = wakeup_;
  if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, wakeup_, &ev) != 0) return false;
  bool waiting;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting = !queue_.empty();
  }
  if (waiting) Signal();  // queued while there was no descriptor to tell of it
  return true;
}

MessageLoop::~MessageLoop() {
  Shutdown();
  if (wakeup_ >= 0) ::close(wakeup_);
  if (epoll_ >= 0) ::close(epoll_);
}

void MessageLoop::Signal() {
  uint64_t one = 1;
  if (wakeup_ >= 0) {
    ssize_t n = ::write(wakeup_, &one, sizeof one);
    (void)n;
  }
}

void MessageLoop::Enqueue(Message m) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(m));
  }
  Signal();
}

void MessageLoop::Post(Task task) {
  Message m;
  m.task = std::move(task);
  Enqueue(std::move(m));
}

bool MessageLoop::Send(Task task) {
  if (IsOwnerThread()) {
    task();
    return true;
  }
  // The stage of this call, under mutex_: the sender and the owner thread
  // agree on it, so a task the sender gave up on is never run afterwards.
  enum Stage { kQueued, kRunning, kDone, kAbandoned };
  auto stage = std::make_shared<Stage>(kQueued);
  uint64_t epoch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (shutdown_) return false;
    epoch = cancelEpoch_;
  }
  Post([this, stage, task = std::move(task)] {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (*stage == kAbandoned) return;
      *stage = kRunning;
    }
    task();
    std::lock_guard<std::mutex> lock(mutex_);
    *stage = kDone;
    sendDone_.notify_all();
  });
  std::unique_lock<std::mutex> lock(mutex_);
  ++waitingSends_;
  sendDone_.wait(lock, [&] {
    return *stage == kDone || (*stage == kQueued && (shutdown_ || cancelEpoch_ != epoch));
  });
  --waitingSends_;
  if (*stage == kDone) return true;
  *stage = kAbandoned;
  return false;
}

std::size_t MessageLoop::PendingCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

void MessageLoop::DrainWakeup() {
  uint64_t value;
  while (::read(wakeup_, &value, sizeof value) > 0) {
  }
}

int MessageLoop::Pump(int timeoutMs) {
  if (!IsOwnerThread() || epoll_ < 0) return 0;

  // Sockets watched since the last pump join epoll now: their connect() has
  // been called by then (a socket that is not yet connecting reports a hang-up).
  for (auto &[fd, w] : watches_) {
    if (!w.registered && !w.finished && w.mask != 0) Register(fd, w);
  }

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    bool waiting;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      waiting = !queue_.empty();
    }
    int wait = 0;
    if (!waiting) {
      if (timeoutMs < 0) {
        wait = -1;
      } else {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
      }
    }
    struct epoll_event events[32];
    int n = ::epoll_wait(epoll_, events, 32, wait);
    if (n < 0 && errno != EINTR) n = 0;
    for (int i = 0; i < n; ++i) {
      if (events[i].data.fd == wakeup_) {
        DrainWakeup();
      } else {
        OnReady(events[i].data.fd, events[i].events);
      }
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      waiting = !queue_.empty();
    }
    if (waiting || wait == 0) break;
    if (timeoutMs >= 0 && Clock::now() >= deadline) break;
  }

  std::deque<Message> batch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    batch.swap(queue_);
  }
  int count = 0;
  for (const Message &m : batch) {
    Deliver(m);
    ++count;
  }
  return count;
}

void MessageLoop::Deliver(const Message &m) {
  if (m.task) {
    m.task();
    return;
  }
  auto it = watches_.find(m.fd);
  if (it == watches_.end() || it->second.generation != m.generation) return;  // watch gone
  SocketHandler handler = it->second.handler;  // the handler may change the watch
  if (handler) handler(m.fd, m.event, m.error);
}

void MessageLoop::Register(int fd, Watch &w) {
  struct epoll_event ev = {};
  ev.data.fd = fd;
  if (w.connecting) {
    ev.events = EPOLLOUT | EPOLLONESHOT;
  } else {
    ev.events = EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
    w.readArmed = (w.mask & kFdRead) != 0;
  }
  if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev) == 0) {
    w.registered = true;
  } else if (errno == EEXIST && ::epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &ev) == 0) {
    w.registered = true;
  }
}

void MessageLoop::Rearm(int fd, Watch &w) {
  if (!w.registered || w.finished) return;
  struct epoll_event ev = {};
  ev.data.fd = fd;
  ev.events = w.connecting ? (EPOLLOUT | EPOLLONESHOT) : (EPOLLIN | EPOLLRDHUP | EPOLLONESHOT);
  ::epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &ev);
}

void MessageLoop::WatchSocket(int fd, int mask, SocketHandler handler) {
  auto it = watches_.find(fd);
  if (mask == 0) {
    if (it != watches_.end()) {
      if (it->second.registered) ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
      watches_.erase(it);
    }
    return;
  }
  if (it == watches_.end()) {
    Watch w;
    // A new watch that asks for FD_CONNECT reports the connect's outcome first
    // (at once when the connect has already completed), as WinSock does for a
    // watch set up before connect.
    w.connecting = (mask & kFdConnect) != 0;
    it = watches_.emplace(fd, std::move(w)).first;
  } else if (it->second.connecting && !(mask & kFdConnect)) {
    it->second.connecting = false;
  }
  Watch &w = it->second;
  w.mask = mask;
  w.handler = std::move(handler);
  w.generation = nextGeneration_++;
  if (w.registered) {
    if (!w.connecting) w.readArmed = (mask & kFdRead) != 0;
    Rearm(fd, w);
    return;
  }
  // Registration happens at the next Pump (see there). Fd() turns readable
  // now, so that a host which pumps only when it is readable comes round to
  // that Pump.
  Signal();
}

void MessageLoop::ReadDone(int fd) {
  auto it = watches_.find(fd);
  if (it == watches_.end()) return;
  Watch &w = it->second;
  if (w.finished || w.connecting) return;
  w.readArmed = (w.mask & kFdRead) != 0;
  Rearm(fd, w);
}

void MessageLoop::PostSocketEvent(int fd, int event, int error) {
  auto it = watches_.find(fd);
  if (it == watches_.end()) return;
  Watch &w = it->second;
  if (event == kFdConnect && error != 0) {
    // A connect that failed ends the watch's events, as a refused WinSock
    // connect does: nothing else follows.
    w.finished = true;
    w.connecting = false;
    if (w.registered) {
      ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
      w.registered = false;
    }
  }
  Message m;
  m.fd = fd;
  m.event = event;
  m.error = error;
  m.generation = w.generation;
  Enqueue(std::move(m));
}

void MessageLoop::OnReady(int fd, uint32_t events) {
  auto it = watches_.find(fd);
  if (it == watches_.end()) return;
  Watch &w = it->second;
  if (w.finished) return;

  auto notify = [&](int event, int error) {
    Message m;
    m.fd = fd;
    m.event = event;
    m.error = error;
    m.generation = w.generation;
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(m));
  };
  auto finish = [&] {
    w.finished = true;
    if (w.registered) {
      ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
      w.registered = false;
    }
  };

  if (w.connecting) {
    int err = SocketError(fd);
    if (err == 0 && (events & (EPOLLERR | EPOLLHUP)) == 0) {
      w.connecting = false;
      if (w.mask & kFdConnect) notify(kFdConnect, 0);
      w.readArmed = (w.mask & kFdRead) != 0;
      Rearm(fd, w);
    } else {
      if (err == 0) err = ECONNREFUSED;
      w.connecting = false;
      finish();
      if (w.mask & kFdConnect) notify(kFdConnect, WinSockErrorFromErrno(err));
    }
    return;
  }

  if (events & EPOLLERR) {
    int err = SocketError(fd);
    finish();
    if (w.mask & kFdClose) notify(kFdClose, WinSockErrorFromErrno(err ? err : ECONNRESET));
    return;
  }

  // Data first: a close is reported only once the data before it are read.
  char probe;
  ssize_t n = ::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
  if (n > 0) {
    if (w.readArmed) {
      w.readArmed = false;  // one-shot until ReadDone
      notify(kFdRead, 0);
    }
    // Not re-armed here: ReadDone re-arms once the handler has read.
    return;
  }
  if (n == 0) {
    finish();
    if (w.mask & kFdClose) notify(kFdClose, 0);
    return;
  }
  int err = errno;
  if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) {
    Rearm(fd, w);
    return;
  }
  finish();
  if (w.mask & kFdClose) notify(kFdClose, WinSockErrorFromErrno(err));
}

}  // namespace zl
