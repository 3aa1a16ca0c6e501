// Driver: the driver object, the handle a host holds. It is the status window
// (the window model it derives from, with its components) and it owns all of
// the driver's run-time state. MakeDriver creates one (hidden) on the host's
// thread; DisposeDriver destroys it.
//
// It holds the window's components, the host thread's message loop (created
// with it, so on the thread that calls MakeDriver), the DriverInstance, the
// communication thread, the login level and the TCP client, and it gives the
// rest of the driver its DriverServices (event list, synchronised call, wake).
#ifndef ZL_DRIVER_DRIVER_H
#define ZL_DRIVER_DRIVER_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "driver/CommThread.h"
#include "core/DriverInstance.h"
#include "core/Services.h"
#include "core/LineClient.h"
#include "port/MessageLoop.h"
#include "port/Window.h"

namespace zl {

class Driver : public Form, public DriverServices {
 public:
  // The creation handler: captions, empty event list, no thread; hidden.
  Driver();
  // Stops a thread still running (DisposeDriver without Done), then frees all.
  ~Driver() override;

  MessageLoop Loop;

  // Components, in declaration order.
  Label LabelName;
  Label LabelTitleVersion;
  Label LabelVersion;
  Image ImageIcon;
  Label LabelCredit;
  Image Image1;
  Label QueueStatusLabel;  // queue status text
  Label ActivityLabel;     // activity indicator
  Memo EventList;
  Button About;
  Button ButtonMin;

  DriverInstance Di;
  std::unique_ptr<std::atomic<uint8_t>> IdleGO;  // Di.IdleGO points here once Init made it
  std::unique_ptr<LineClient> Client;            // none until Init creates it
  int32_t LoginLevel = 0;
  std::unique_ptr<CommThread> Thread;  // none until Init creates it; last, stopped first

  // --- DriverServices
  void AddEvent(std::string_view text) override;
  void AddStatusLine(std::string_view text) override;
  void PostEvent(std::string_view text) override;
  void Synchronize(const std::function<void()> &fn) override;
  void Wake() override;

  void AddToMemo();

  // --- window events and commands
  void AboutClick();
  void ButtonMinClick();
  // "About" or "ButtonMin"; answers false for any other name.
  bool ClickButton(std::string_view name);
  // DriverProc: 0 hide, 1 show, 2 minimize, 3 restore, 4 focus, 5 move
  // (top := p2, then left := p1), 6 login level p1. Other codes do nothing.
  void DriverProc(int32_t code, int32_t p1, int32_t p2);
  // QueryProc: code 8 only; param 0 minimize, 1 show, 2 hide.
  void QueryProc(int32_t code, int32_t param);

  // The window as a UTF-8 JSON object (keys: see include/zlnetdrv.h).
  std::string StatusJson() const;

  // --- lifecycle (driver/Lifecycle.cpp)
  // text: the caller's 256-byte buffer (host name in, error text out).
  bool Init(int32_t charLimit, const char *fileName, char *text, int32_t loginLevel);
  void Done();
  // Init's steps 10..16: creates IdleGO, the client and the thread, starts the
  // thread. Init calls it once the configuration has loaded.
  void StartCommunication();
  // Stops and frees the thread without the rest of Done (the stop steps only).
  void StopThread();

 private:
  // Init step 8: the run-time state back to its start values.
  void ResetRuntimeState();

  // --- steps that later parts of the driver fill (driver/LifecycleHooks.cpp)
  std::unique_ptr<LineClient> CreateClient();  // Init step 11
  void ClearQueuesAtStart();                   // Init step 14
  void ShowInitialQueueStatus();               // Init step 16
  void ClearStoreAndQueues();                  // Done step 3
};

}  // namespace zl

#endif  // ZL_DRIVER_DRIVER_H
