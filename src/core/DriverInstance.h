// DriverInstance: everything the driver knows at run time, one record per
// loaded driver, embedded in its Driver.
//
// Two threads share it: the host's thread (entry points, window, socket
// notifications, synchronised calls) and the communication thread. The rules:
//   - one-byte flags that both threads test (OnDone, IdleGO, CycleBusy,
//     StationOnline, QueueBusy, the line state) are atomics;
//   - the request queues are guarded by QueueLock;
//   - the receive store by StoreLock;
//   - station values, counters and flags, the sample table and fields, the
//     forcing fields, the reception state and the diagnostic fields (clocks,
//     counters, CurrentKind/CurrentStation) by DataLock, held for short,
//     bounded sections;
//   - no lock is ever held across a synchronised call (Services->PostEvent,
//     Services->Synchronize): the host's thread may be waiting for that lock.
// Lock order, where two are needed: DataLock, then QueueLock, then StoreLock;
// the TCP client's own lock comes last.
//
// Configuration fields (GlobalSettings, the stations' configuration, the
// channel map) are written only while Init loads the file, before the
// communication thread exists, and are read without a lock afterwards.
#ifndef ZL_CORE_DRIVERINSTANCE_H
#define ZL_CORE_DRIVERINSTANCE_H

#include <atomic>
#include <bitset>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>

#include "config/GlobalSettings.h"
#include "core/SampleState.h"
#include "core/Station.h"
#include "core/DebugLog.h"
#include "core/Services.h"
#include "core/LineClient.h"
#include "core/QueuedRequest.h"
#include "core/RequestIndex.h"
#include "util/Real6.h"
#include "util/Text.h"

namespace zl {

struct ChannelIndex;  // the channel map built after the load (exchange/)

struct DriverInstance {
  DriverInstance();
  ~DriverInstance();
  DriverInstance(const DriverInstance &) = delete;
  DriverInstance &operator=(const DriverInstance &) = delete;

  // --- lifecycle
  std::atomic<uint8_t> OnDone{0};  // 1 once Done has begun to stop the thread

  // --- sample memory (DataLock)
  std::unique_ptr<SampleRow[]> SampleTable;  // rows 1..528 at [0..527]
  uint8_t SampleStation = 1;
  uint8_t SampleBlock = 1;      // 1..3
  uint16_t SampleRowIndex = 1;  // 1..528
  uint8_t SampleAltKinds = 0;
  uint8_t SampleTransferStation = 1;
  uint8_t SampleBusy = 0;
  uint8_t SampleFileWritten = 0;
  uint8_t *SampleBufferAddress = nullptr;  // the host's block, 0 until SetBufferAddr
  // A transfer runs from its start until each of its 88 blocks has been
  // stored once; sample blocks that come at any other time store nothing.
  uint8_t SampleTransferRunning = 0;
  std::bitset<88> SampleBlocksIn;

  // --- configuration load
  char ErrorText[256] = {};  // NUL-terminated, at most 80 characters
  Str255 ParameterFileName;

  // --- stations: slots 1..100; all 100 exist between InitZavro and Done
  uint8_t StationCount = 0;
  std::unique_ptr<Station> Stations[kMaxStations + 1];
  Station *StationAt(int n) const {
    return n >= 1 && n <= kMaxStations ? Stations[n].get() : nullptr;
  }

  GlobalSettings Global;

  // --- polling cycle (DataLock)
  uint8_t CurrentKind = 0;     // low byte of the kind in flight
  uint8_t CurrentStation = 1;  // station of the frame in flight, 0 for none

  DebugLog Log;

  // --- clocks and reception counters (DataLock)
  Real6 SecondsSinceAnswer;    // since an answer was last stored
  Real6 SecondsSinceTransmit;  // since the last frame was sent
  int32_t LastTick = 0;        // DayCentiseconds at the last housekeeping
  Real6 PrefixCount;
  Real6 MessageCount;
  // Messages that came while a request waited and were not its answer: they
  // are decoded as the controllers' own messages and the wait goes on.
  uint32_t UnpairedCount = 0;
  // Messages dropped unread: the driver's own frames coming back, and
  // messages that name no configured station.
  uint32_t StrayCount = 0;

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

  // --- queues (QueueLock) and reception (StoreLock / DataLock)
  std::deque<ReceivedMessage> ReceiveStore;  // StoreLock
  std::list<QueuedRequest> PrimaryQueue;     // QueueLock: writes
  std::list<QueuedRequest> SecondaryQueue;   // QueueLock: reads
  RequestIndex PrimaryIndex;                 // QueueLock: counts over PrimaryQueue
  RequestIndex SecondaryIndex;               // QueueLock: counts over SecondaryQueue
  Str255 PrefixWindow;                       // DataLock
  Str255 LastRequestFrame;                   // DataLock
  Str255 MessageBuffer;                      // DataLock

  LineState Line;  // LineTag, CycleState

  // --- thread hand-over
  std::atomic<uint8_t> *IdleGO = nullptr;  // allocated by Init, freed by DisposeDriver
  std::atomic<uint8_t> CycleBusy{0};
  Str255 PendingEvent;  // written by the communication thread only

  // --- output path flags
  uint8_t ReadSuspended = 0;  // DataLock
  std::atomic<uint8_t> StationOnline{0};
  std::atomic<uint8_t> QueueBusy{0};
  uint8_t ForceEnable = 0;    // DataLock
  uint16_t ForceChannel = 0;  // DataLock
  Real6 ForceValue;           // DataLock

  // --- services (not owned)
  DriverServices *Services = nullptr;
  LineClient *Client = nullptr;

  // --- the channel map, built once after a successful load
  std::shared_ptr<const ChannelIndex> Channels;

  mutable std::mutex DataLock;
  mutable std::mutex QueueLock;
  mutable std::mutex StoreLock;

  // Convenience: WriteDebugLine(label, text).
  void Debug(std::string_view label, std::string_view text) { Log.Write(label, text); }
};

}  // namespace zl

#endif  // ZL_CORE_DRIVERINSTANCE_H
