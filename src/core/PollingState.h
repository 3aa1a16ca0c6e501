// The polling cycle's state: what the cycle has in flight (the request, its
// frame, which queue it came from), the acknowledgments waiting for their
// pause, the driver-wide clocks and millisecond timers, the reception state
// (the PREFIX window, the message being assembled, the frame an answer pairs
// with) and the reception counters, with the mutex that guards them all.
//
// The communication thread steps the cycle and receives; the host's thread
// reads the clocks and counters on its diagnostic channels and empties the
// reception state on a reset. Every field is read and written with Lock
// held. Where a station's values are needed in the same section, the
// driver's DataLock is taken first (the order is written where the locks are
// declared, core/DriverInstance.h).
#ifndef ZL_CORE_POLLINGSTATE_H
#define ZL_CORE_POLLINGSTATE_H

#include <cstdint>
#include <deque>

#include "core/QueuedRequest.h"
#include "util/Real6.h"
#include "util/Text.h"
#include "util/ThreadSafety.h"

namespace zl {

struct PollingState {
  PollingState() = default;
  PollingState(const PollingState &) = delete;
  PollingState &operator=(const PollingState &) = delete;

  // The state a freshly started driver runs from: reception empty, its
  // counters, clocks and timers at zero (LastTick at now), no follow-up due,
  // no queue marked as the source of a frame.
  void Restart(int32_t now) EXCLUDES(Lock) {
    MutexLock lock(Lock);
    ResetReception();
    PrefixCount = Real6{};
    MessageCount = Real6{};
    UnpairedCount = 0;
    StrayCount = 0;
    FollowUpPending = 0;
    FollowUpFrame.clear();
    MoreFollowUps.clear();
    SecondsSinceAnswer = Real6{};
    SecondsSinceTransmit = Real6{};
    for (Real6 &timer : MsTimers) timer = Real6{};
    LastTick = now;
    PrimarySent = 0;
    SecondarySent = 0;
  }

  // Empties the PREFIX window and the message being assembled: the next
  // reception step hunts for PREFIX.
  void ResetReception() REQUIRES(Lock) {
    PrefixWindow.clear();
    MessageBuffer.clear();
  }

  mutable Mutex Lock;

  // --- the request in flight
  uint8_t CurrentKind GUARDED_BY(Lock) = 0;     // low byte of the kind in flight
  uint8_t CurrentStation GUARDED_BY(Lock) = 1;  // station of the frame in flight, 0 for none
  uint8_t PrimarySent GUARDED_BY(Lock) = 0;     // the frame came from the primary queue
  uint8_t SecondarySent GUARDED_BY(Lock) = 0;   // ... from the secondary queue
  uint8_t AwaitingAnswer GUARDED_BY(Lock) = 0;  // a frame went out and waits for its answer
  Str255 TransmitFrame GUARDED_BY(Lock);        // the request frame sent last
  // The request in flight as the cycle copied it: a removal or rotation after
  // its answer acts only on that entry (its Serial).
  QueuedRequest SentRequest GUARDED_BY(Lock);

  // --- acknowledgments
  uint8_t FollowUpPending GUARDED_BY(Lock) = 0;  // FollowUpFrame goes out after the pause
  Str255 FollowUpFrame GUARDED_BY(Lock);
  // Acknowledgments due while FollowUpFrame still waits: each goes out in a
  // pause of its own after it.
  std::deque<Str255> MoreFollowUps GUARDED_BY(Lock);
  Str255 FollowUpSent GUARDED_BY(Lock);  // the follow-up frame sent last: its echo is no message

  // --- clocks
  Real6 SecondsSinceAnswer GUARDED_BY(Lock);    // since an answer was last stored
  Real6 SecondsSinceTransmit GUARDED_BY(Lock);  // since the last frame was sent
  int32_t LastTick GUARDED_BY(Lock) = 0;        // DayCentiseconds at the last housekeeping
  Real6 MsTimers[13] GUARDED_BY(Lock);          // 1..12, in milliseconds

  // --- reception
  Str255 PrefixWindow GUARDED_BY(Lock);      // the last bytes received while hunting for PREFIX
  Str255 MessageBuffer GUARDED_BY(Lock);     // the message being assembled, from after PREFIX
  Str255 LastRequestFrame GUARDED_BY(Lock);  // the frame the next answer is stored with
  Real6 PrefixCount GUARDED_BY(Lock);
  Real6 MessageCount GUARDED_BY(Lock);
  // Messages that came while a request waited and were not its answer: they
  // are decoded as the controllers' own messages and the wait goes on.
  uint32_t UnpairedCount GUARDED_BY(Lock) = 0;
  // Messages dropped unread: the driver's own frames coming back, and
  // messages that name no configured station.
  uint32_t StrayCount GUARDED_BY(Lock) = 0;
};

}  // namespace zl

#endif  // ZL_CORE_POLLINGSTATE_H
