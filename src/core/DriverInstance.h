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
//   - station values, counters and flags, the forcing fields, the reception
//     state and the diagnostic fields (clocks, counters,
//     CurrentKind/CurrentStation) by DataLock, held for short, bounded
//     sections;
//   - no lock is ever held across a synchronised call (Services->PostEvent,
//     Services->Synchronize): the host's thread may be waiting for that lock.
// Lock order, where more than one is needed (written here once): DataLock,
// then Sample.Lock, then the queues' mutex, then the store's; the TCP
// client's own lock comes last. A lock is never taken while one later in
// this order is held.
//
// Configuration fields (GlobalSettings, the stations' configuration, the
// channel map) are written only while Init loads the file, before the
// communication thread exists, and are read without a lock afterwards.
#ifndef ZL_CORE_DRIVERINSTANCE_H
#define ZL_CORE_DRIVERINSTANCE_H

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "config/GlobalSettings.h"
#include "config/ParameterSet.h"
#include "core/DebugLog.h"
#include "core/LineClient.h"
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
  // A station's run-time values are guarded by DataLock (core/Station.h).
  uint8_t StationCount = 0;
  std::unique_ptr<Station> Stations[kMaxStations + 1];
  Station *StationAt(int n) const {
    return n >= 1 && n <= kMaxStations ? Stations[n].get() : nullptr;
  }

  GlobalSettings Global;

  // --- polling cycle (DataLock)
  uint8_t CurrentKind GUARDED_BY(DataLock) = 0;     // low byte of the kind in flight
  uint8_t CurrentStation GUARDED_BY(DataLock) = 1;  // station of the frame in flight, 0 for none

  DebugLog Log;

  // --- clocks and reception counters (DataLock)
  Real6 SecondsSinceAnswer GUARDED_BY(DataLock);    // since an answer was last stored
  Real6 SecondsSinceTransmit GUARDED_BY(DataLock);  // since the last frame was sent
  int32_t LastTick GUARDED_BY(DataLock) = 0;        // DayCentiseconds at the last housekeeping
  Real6 PrefixCount GUARDED_BY(DataLock);
  Real6 MessageCount GUARDED_BY(DataLock);
  // Messages that came while a request waited and were not its answer: they
  // are decoded as the controllers' own messages and the wait goes on.
  uint32_t UnpairedCount GUARDED_BY(DataLock) = 0;
  // Messages dropped unread: the driver's own frames coming back, and
  // messages that name no configured station.
  uint32_t StrayCount GUARDED_BY(DataLock) = 0;

  // --- polling cycle (communication thread; DataLock where the host reads)
  uint8_t PrimarySent = 0;
  uint8_t SecondarySent = 0;
  Real6 MsTimers[13];  // 1..12
  Str255 TransmitFrame;
  uint8_t AwaitingAnswer = 0;
  uint8_t FollowUpPending = 0;
  Str255 FollowUpFrame;
  // Acknowledgments due while FollowUpFrame still waits: each goes out in a
  // pause of its own after it.
  std::deque<Str255> MoreFollowUps;
  Str255 FollowUpSent;  // the follow-up frame sent last: its echo is no message
  // The request in flight as the cycle copied it: a removal or rotation after
  // its answer acts only on that entry (its Serial).
  QueuedRequest SentRequest;

  // --- reception (DataLock)
  Str255 PrefixWindow GUARDED_BY(DataLock);      // DataLock
  Str255 LastRequestFrame GUARDED_BY(DataLock);  // DataLock
  Str255 MessageBuffer GUARDED_BY(DataLock);     // DataLock

  LineState Line;  // LineTag, CycleState

  // --- thread hand-over
  std::atomic<uint8_t> *IdleGO = nullptr;  // allocated by Init, freed by DisposeDriver
  std::atomic<uint8_t> CycleBusy{0};
  Str255 PendingEvent;  // written by the communication thread only

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

  // --- the sample memory, its transfer and the host's sample buffer, with
  // its own mutex (taken after DataLock when both are needed)
  SampleState Sample;

  // --- the request queues and the store of received messages, each with
  // its own mutex
  RequestQueues Queues{OnDone};
  ReceiveStore Received;

  // Convenience: WriteDebugLine(label, text).
  void Debug(std::string_view label, std::string_view text) { Log.Write(label, text); }
};

// The configuration the driver runs with: its global settings and its
// stations 1..StationCount, as a plain value.
ParameterSet ConfigurationOf(const DriverInstance &di);

}  // namespace zl

#endif  // ZL_CORE_DRIVERINSTANCE_H
