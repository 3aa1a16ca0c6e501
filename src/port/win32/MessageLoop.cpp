// The host thread's message queue on Windows: a hidden message-only window.
//
// Posted tasks are window messages in the thread's queue, so they run in the
// order they were posted, between the host's own messages, whenever the host's
// loop (or Pump) dispatches. Socket notifications are WinSock's own: each watch
// asks WSAAsyncSelect for a message number of its own, so that notifications
// still queued for an earlier watch of the same socket are recognised and
// dropped. A synchronised call is a sent message: it is delivered by the
// owner thread's next GetMessage, PeekMessage or wait for sent messages, ahead
// of posted ones, while the sender waits; the sender waits on a condition of
// its own rather than inside SendMessage, so that Shutdown and CancelSends can
// release it.
#include "port/MessageLoop.h"

#include <windows.h>
#include <winsock.h>

#include <chrono>

#include "port/win32/DriverWindows.h"

namespace zl {
namespace {

constexpr UINT kTaskMessage = WM_APP + 1;  // a posted task
constexpr UINT kSendMessage = WM_APP + 2;  // a synchronised call; lParam: its number
// Socket notifications: one message number per watch, taken in turn.
constexpr UINT kSocketFirst = WM_APP + 0x100;
constexpr UINT kSocketMessages = 0x100;

const char kLoopClassName[] = "ZLNETDRV.MessageLoop";

LRESULT CALLBACK LoopWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto *loop = reinterpret_cast<MessageLoop *>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (loop && loop->Dispatch(message, wParam, lParam)) return 0;
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

struct MessageLoop::SendCall {
  enum Stage { kQueued, kRunning, kDone };
  Task task;
  Stage stage = kQueued;
};

MessageLoop::MessageLoop() : owner_(std::this_thread::get_id()) {
  Open();
}

bool MessageLoop::Open() {
  if (window_) return true;
  if (!socketsStarted_) {
    WSADATA data;
    socketsStarted_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
  }
  if (!socketsStarted_) return false;  // the socket component cannot work without WinSock
  WNDCLASSA wc = {};
  wc.lpfnWndProc = LoopWindowProc;
  wc.hInstance = ThisModule();
  wc.lpszClassName = kLoopClassName;
  // A second driver, or the library loaded again, finds the class registered.
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, kLoopClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
  if (!window) return false;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  std::lock_guard<std::mutex> lock(mutex_);
  window_ = window;
  // Tasks queued while there was no window to carry them.
  while (posted_ < tasks_.size() && PostMessageA(window, kTaskMessage, 0, 0)) ++posted_;
  return true;
}

MessageLoop::~MessageLoop() {
  Shutdown();
  if (HWND window = static_cast<HWND>(window_)) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    for (const auto &[fd, w] : watches_) WSAAsyncSelect(static_cast<SOCKET>(fd), window, 0, 0);
    if (IsOwnerThread()) {
      DestroyWindow(window);
    } else {
      PostMessageA(window, WM_CLOSE, 0, 0);  // the owner thread destroys it
    }
    UnregisterClassA(kLoopClassName, ThisModule());  // fails while another loop's window lives
  }
  if (socketsStarted_) WSACleanup();
}

void MessageLoop::Post(Task task) {
  std::lock_guard<std::mutex> lock(mutex_);
  tasks_.push_back(std::move(task));
  if (window_ && PostMessageA(static_cast<HWND>(window_), kTaskMessage, 0, 0)) ++posted_;
}

void MessageLoop::RunPostedTask() {
  bool first = true;
  for (;;) {
    Task task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (first && posted_ > 0) --posted_;
      // After its own task, a message also runs the tasks whose message could
      // not be posted (a full queue), which wait ahead of the next message's.
      if (tasks_.empty() || (!first && tasks_.size() <= posted_)) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    first = false;
    if (task) task();
  }
}

bool MessageLoop::Send(Task task) {
  if (IsOwnerThread()) {
    task();
    return true;
  }
  auto call = std::make_shared<SendCall>();
  call->task = std::move(task);
  uint64_t epoch;
  uintptr_t number;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (shutdown_ || !window_) return false;
    epoch = cancelEpoch_;
    number = static_cast<uintptr_t>(nextCall_++);
    calls_[number] = call;
  }
  if (!SendNotifyMessageA(static_cast<HWND>(window_), kSendMessage, 0,
                          static_cast<LPARAM>(number))) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.erase(number);
    return false;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  ++waitingSends_;
  sendDone_.wait(lock, [&] {
    return call->stage == SendCall::kDone ||
           (call->stage == SendCall::kQueued && (shutdown_ || cancelEpoch_ != epoch));
  });
  --waitingSends_;
  if (call->stage == SendCall::kDone) return true;
  calls_.erase(number);  // the message, when it comes, finds nothing to run
  return false;
}

std::size_t MessageLoop::PendingCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tasks_.size();
}

bool MessageLoop::Dispatch(unsigned message, uintptr_t wParam, intptr_t lParam) {
  // Nothing may unwind into the window manager's frames.
  try {
    if (message == kTaskMessage) {
      ++dispatched_;
      RunPostedTask();
      return true;
    }
    if (message == kSendMessage) {
      ++dispatched_;
      std::shared_ptr<SendCall> call;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = calls_.find(static_cast<uintptr_t>(lParam));
        if (it == calls_.end()) return true;  // the sender gave up
        call = it->second;
        call->stage = SendCall::kRunning;
      }
      try {
        call->task();
      } catch (...) {
      }
      std::lock_guard<std::mutex> lock(mutex_);
      call->stage = SendCall::kDone;
      calls_.erase(static_cast<uintptr_t>(lParam));
      sendDone_.notify_all();
      return true;
    }
    if (message >= kSocketFirst && message < kSocketFirst + kSocketMessages) {
      ++dispatched_;
      int fd = static_cast<int>(wParam);
      auto it = watches_.find(fd);
      if (it == watches_.end() || it->second.message != message) return true;  // watch gone
      SocketHandler handler = it->second.handler;  // the handler may change the watch
      if (handler) handler(fd, WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam));
      return true;
    }
  } catch (...) {
    return true;
  }
  return false;
}

int MessageLoop::Pump(int timeoutMs) {
  if (!IsOwnerThread() || !window_) return 0;
  HWND window = static_cast<HWND>(window_);
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  const int before = dispatched_;
  // Sent messages (synchronised calls) are delivered inside PeekMessage;
  // posted ones are taken for the driver's windows only, so that a host's
  // own messages stay for its own loop.
  auto drain = [&] {
    MSG msg;
    while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    for (HWND other : DriverWindows()) {
      while (PeekMessageW(&msg, other, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
  };
  for (;;) {
    MSG msg;
    drain();
    if (dispatched_ != before || timeoutMs == 0) break;
    DWORD wait = INFINITE;
    if (timeoutMs >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) break;
      wait = static_cast<DWORD>(left.count());
    }
    DWORD rc = MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (rc == WAIT_TIMEOUT) {
      drain();  // a sent message that came last
      break;
    }
    // Input for the host's other windows wakes the wait at once; give the
    // processor away rather than spin until a message of ours arrives.
    if (rc == WAIT_OBJECT_0) {
      bool ours = PeekMessageA(&msg, window, 0, 0, PM_NOREMOVE);
      if (!ours && dispatched_ == before) Sleep(1);
    }
  }
  return dispatched_ - before;
}

void MessageLoop::WatchSocket(int fd, int mask, SocketHandler handler) {
  HWND window = static_cast<HWND>(window_);
  auto s = static_cast<SOCKET>(fd);
  if (mask == 0) {
    watches_.erase(fd);
    if (window) WSAAsyncSelect(s, window, 0, 0);
    return;
  }
  Watch &w = watches_[fd];
  w.mask = mask;
  w.handler = std::move(handler);
  w.message = kSocketFirst + (nextSocketMessage_++ % kSocketMessages);
  if (window) WSAAsyncSelect(s, window, w.message, mask);
}

void MessageLoop::ReadDone(int) {
  // recv itself re-enables FD_READ.
}

void MessageLoop::PostSocketEvent(int fd, int event, int error) {
  auto it = watches_.find(fd);
  if (it == watches_.end() || !window_) return;
  PostMessageA(static_cast<HWND>(window_), it->second.message, static_cast<WPARAM>(fd),
               static_cast<LPARAM>(WSAMAKESELECTREPLY(event, error)));
}

}  // namespace zl
