// Init and Done of Driver: bringing the driver up and taking it down, step
// by step.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/RequestQueues.h"
#include "driver/Driver.h"
#include "driver/ParameterLoad.h"
#include "exchange/ChannelMap.h"
#include "port/Beep.h"
#include "port/Clock.h"
#include "protocol/Reception.h"
#include "util/Texts.h"

namespace zl {

bool Driver::Init(int32_t charLimit, const char *fileName, char *text, int32_t loginLevel) {
  if (!fileName || !text) return false;
  // A driver already running is stopped first, as Done would, so that a second
  // Init starts from a clean state instead of leaving a thread behind.
  if (Thread) Done();

  // A driver made while the process had no free descriptor has no message
  // queue yet: it gets one now, or Init fails and says why.
  if (!Loop.Open()) {
    const std::string &message = Say(TextId::NoMessageQueue);
    std::snprintf(text, 256, "%s", message.c_str());
    AddEvent(message);
    return false;
  }

  // 1. The parameter file may switch the log on again.
  Di.Log.Disable();

  // 2. The host's name for this driver: the buffer's text up to its first NUL
  //    (the buffer holds 256 bytes; nothing beyond them is read).
  std::string_view hostName(text, strnlen(text, 256));
  AddEvent(Say(TextId::HostNameLine) + std::string(hostName));

  // 3. The parameter file's name: up to its first NUL, at most charLimit and
  //    at most 255 characters.
  std::size_t limit = charLimit > 0 ? static_cast<std::size_t>(charLimit) : 0;
  if (limit > 255) limit = 255;
  Di.ParameterFileName = std::string_view(fileName, strnlen(fileName, limit));
  AddEvent(Say(TextId::ParameterFileLine) + Di.ParameterFileName.str());

  // 4.
  AddEvent(Say(TextId::LoginLevelLine) + std::to_string(loginLevel));
  LoginLevel = loginLevel;

  // 5. Defaults, the 100 station records and the sample table.
  Di.Channels.reset();  // the map of a previous configuration
  InitZavro(Di);

  // 6.
  if (!LoadParameterFile(Di)) {
    std::memcpy(text, Di.ErrorText, sizeof Di.ErrorText);
    text[sizeof Di.ErrorText - 1] = '\0';
    Di.Debug("PARfile ERROR", std::string_view(Di.ErrorText, strnlen(Di.ErrorText, 256)));
    return false;
  }

  // 7.
  ResetStations(Di);
  Di.Channels = BuildChannelIndex(Di);
  Di.Debug("init", "reset data stations OK");

  // 8.
  ResetRuntimeState();
  Di.Debug("init", "call reset buffer");
  Di.Debug("init", "return reset buffer - INIT = TRUE");
  Di.Debug("LoadPARfile", "OK");

  // 9.
  AddEvent(Say(TextId::InitOk));

  // 10..16.
  StartCommunication();
  return true;
}

void Driver::ResetRuntimeState() {
  Di.OnDone.store(0);
  Di.Received.Clear();
  Di.Queues.Clear(QueueId::Primary);
  Di.Queues.Clear(QueueId::Secondary);
  {
    MutexLock lock(Di.Sample.Lock);
    Di.Sample.AltKinds = 0;
  }
  Di.Polling.Restart(DayCentiseconds());
}

void Driver::StartCommunication() {
  // 10. The work switch, 0 until the thread may start.
  if (!IdleGO) IdleGO = std::make_unique<std::atomic<uint8_t>>(0);
  IdleGO->store(0);
  Di.IdleGO = IdleGO.get();

  // 11. The TCP client, not connected.
  Client = CreateClient();
  Di.Client = Client.get();

  // 12. The thread, suspended.
  Thread = std::make_unique<CommThread>(QueueStatusLabel, ActivityLabel, EventList, &Di,
                                        Client.get(), IdleGO.get(), Di.Global.IdleTime, &Loop);

  // 13. Only now, with everything in place, may it run.
  IdleGO->store(1);
  Thread->Resume();

  // 14.
  ClearQueuesAtStart();

  // 15.
  if (Thread) {
    AddEvent(Say(TextId::ThreadClassLine) + CommThread::ClassName);
  } else {
    AddEvent(Say(TextId::NoThreadLine));
  }

  // 16.
  ShowInitialQueueStatus();
}

void Driver::StopThread() {
  if (!Thread) return;
  if (IdleGO) IdleGO->store(0);
  Di.OnDone.store(1);
  Thread->Stop();  // pumps Loop while it waits
  Thread.reset();
}

void Driver::Done() {
  // 1.
  Beep(1000, 100);
  // 2.
  Di.Debug("done", "begin");
  // 3.
  ClearStoreAndQueues();
  Di.Debug("done", "queues are empty");

  // 4.
  if (Thread) {
    if (Thread->Suspended()) Thread->Resume();
    Di.Debug("done", "suspended=false");
    if (Client && Client->Connected()) Client->Disconnect();
    if (IdleGO) IdleGO->store(0);
    Di.Debug("done", "IdleGO=false");
    Di.OnDone.store(1);
    Di.Debug("done", "OnDone=true");
    Thread->Terminate();
    Di.Debug("done", "thread.terminate called");
    if (Thread->Terminated()) Di.Debug("done", "thread.terminated flag is on");
    // The end of the thread: serves its synchronised calls while waiting.
    Thread->WaitFor();
    Thread.reset();
  }

  // 5. The client disconnects itself when it is still connected.
  Di.Client = nullptr;
  Client.reset();
  Di.Debug("done", "COM closed");

  // 6., 7.
  {
    MutexLock lock(Di.DataLock);
    Di.DropStations();
    // No station record exists any more: nothing may walk the slots.
    Di.StationCount = 0;
    Di.Channels.reset();
  }
  {
    MutexLock lock(Di.Sample.Lock);
    Di.Sample.Table.reset();
    // The host may free its sample buffer once the driver is done with it.
    Di.Sample.BufferAddress = nullptr;
    Di.Sample.TransferRunning = 0;
  }
  Di.Debug("done", "stations/data closed");

  // 8. Every Done leaves its last line in the log file, on or off.
  Di.Log.Enable();
  Di.Debug("done", "end");
  Di.Log.Disable();
}

}  // namespace zl
