// DriverInstance: everything the driver knows at run time, one record per
// loaded driver, embedded in its Driver.
//
// Two threads share it: the host's thread (entry points, window, socket
// notifications, synchronised calls) and the communication thread. The rules:
//   - one-byte flags that both threads test (OnDone, IdleGO, CycleBusy,
//     StationOnline, the queues' busy flag, the line state) are atomics;
//   - the request queues (Queues) and the receive store (Received) own
//     their mutexes and take them inside their operations;
//   - the sample state (Sample) owns its mutex, Sample.Lock, and the fields
//     it guards: the sample rows, the transfer and the host's sample buffer;
//   - the polling cycle's state (Polling) owns its mutex, Polling.Lock, and
//     the fields it guards: the request in flight, the follow-ups, the
//     driver-wide clocks and timers, the reception state and its counters;
//   - station values, counters and flags (reached through StationAt) and
//     the forcing fields by DataLock, held for short, bounded sections;
//   - the event line in hand-over (PendingEvent) belongs to the
//     communication thread's role (CommThreadRole), lent to the host's thread
//     only for the synchronised call that shows it;
//   - no lock is ever held across a synchronised call (Services->PostEvent,
//     Services->Synchronize): the host's thread may be waiting for that lock.
// Lock order, where more than one is needed (written here once): DataLock,
// then Polling.Lock, then Sample.Lock, then the queues' mutex, then the
// store's; the TCP client's own lock comes last. A lock is never taken while one later in
// this order is held.
//
// Configuration fields (GlobalSettings, the stations' configuration, the
// channel map) are written only while Init loads the file, before the
// communication thread exists, and are read without a lock afterwards.
#ifndef ZL_CORE_DRIVERINSTANCE_H
#define ZL_CORE_DRIVERINSTANCE_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "config/GlobalSettings.h"
#include "config/ParameterSet.h"
#include "core/DebugLog.h"
#include "core/LineClient.h"
#include "core/PollingState.h"
#include "core/QueuedRequest.h"
#include "core/ReceiveStore.h"
#include "core/RequestQueues.h"
#include "core/SampleState.h"
#include "core/Services.h"
#include "core/Station.h"
#include "util/Real6.h"
#include "util/Text.h"
#include "util/ThreadSafety.h"

namespace zl {

struct ChannelIndex;  // the channel map built after the load (exchange/)

struct DriverInstance {
  DriverInstance();
  ~DriverInstance();
  DriverInstance(const DriverInstance &) = delete;
  DriverInstance &operator=(const DriverInstance &) = delete;

  // --- lifecycle
  std::atomic<uint8_t> OnDone{0};  // 1 once Done has begun to stop the thread

  // --- configuration load
  char ErrorText[256] = {};  // NUL-terminated, at most 80 characters
  Str255 ParameterFileName;

  // --- stations: slots 1..100; all 100 exist between InitZavro and Done.
  // A station's run-time values are reached only through StationAt, with
  // DataLock held; its configuration, which does not change after the load,
  // through ConfigAt without a lock. Null outside 1..100 or for an empty slot.
  uint8_t StationCount = 0;
  Station *StationAt(int n) REQUIRES(DataLock) { return Slot(n); }
  const Station *StationAt(int n) const REQUIRES(DataLock) { return Slot(n); }
  const StationConfig *ConfigAt(int n) const { return Slot(n); }
  // The record's address alone, for the channel lookup, which runs on every
  // host call and must stay lock-free: it resolves a channel to pointers into
  // the record (sized at the load) and reads no run-time value; the values
  // behind them are read and written under DataLock by the caller.
  Station *StationAddress(int n) const { return Slot(n); }
  // Slot n's record, created empty when it has none (the load).
  Station &MakeStation(int n) REQUIRES(DataLock);
  // Every slot emptied (Done, once the communication thread has stopped).
  void DropStations() REQUIRES(DataLock);

  GlobalSettings Global;

  DebugLog Log;

  LineState Line;  // LineTag, CycleState

  // --- thread hand-over
  std::atomic<uint8_t> *IdleGO = nullptr;  // allocated by Init, freed by DisposeDriver
  std::atomic<uint8_t> CycleBusy{0};
  // The communication thread's role: what only that thread touches (and the
  // host's thread only within a synchronised call, while the communication
  // thread waits for it) is guarded by it.
  ThreadRole CommThreadRole;
  // The event line handed to the host's thread by the next synchronised call.
  Str255 PendingEvent GUARDED_BY(CommThreadRole);

  // --- output path flags
  uint8_t ReadSuspended GUARDED_BY(DataLock) = 0;  // DataLock
  std::atomic<uint8_t> StationOnline{0};
  uint8_t ForceEnable GUARDED_BY(DataLock) = 0;    // DataLock
  uint16_t ForceChannel GUARDED_BY(DataLock) = 0;  // DataLock
  Real6 ForceValue GUARDED_BY(DataLock);           // DataLock

  // --- services (not owned)
  DriverServices *Services = nullptr;
  LineClient *Client = nullptr;

  // --- the channel map, built once after a successful load
  std::shared_ptr<const ChannelIndex> Channels;

  mutable Mutex DataLock;

  // --- the polling cycle's state, the driver-wide clocks and the reception
  // state, with its own mutex (taken after DataLock when both are needed)
  PollingState Polling;

  // --- the sample memory, its transfer and the host's sample buffer, with
  // its own mutex (taken after DataLock when both are needed)
  SampleState Sample;

  // --- the request queues and the store of received messages, each with
  // its own mutex
  RequestQueues Queues{OnDone};
  ReceiveStore Received;

  // Convenience: WriteDebugLine(label, text).
  void Debug(std::string_view label, std::string_view text) { Log.Write(label, text); }

 private:
  Station *Slot(int n) const { return n >= 1 && n <= kMaxStations ? Stations[n].get() : nullptr; }
  std::unique_ptr<Station> Stations[kMaxStations + 1];
};

// The configuration the driver runs with: its global settings and its
// stations 1..StationCount, as a plain value.
ParameterSet ConfigurationOf(const DriverInstance &di);

}  // namespace zl

#endif  // ZL_CORE_DRIVERINSTANCE_H
