#include "driver/PollingCycle.h"

#include <mutex>
#include <string>

#include "core/RequestQueues.h"
#include "driver/ThreadCalls.h"
#include "port/Clock.h"
#include "protocol/Reception.h"
#include "protocol/RequestFrames.h"
#include "util/Encodings.h"
#include "util/Texts.h"

namespace zl {

namespace {

constexpr const char *kCycleLabel = "prstynek";

enum class HeadChange { Keep, Rotate, Remove };

// A configured station's run-time record (1..StationCount), or null.
Station *StationOf(DriverInstance &di, int n) REQUIRES(di.DataLock) {
  return n >= 1 && n <= di.StationCount ? di.StationAt(n) : nullptr;
}

// A configured station's configuration, or null; no lock.
const StationConfig *ConfigOf(const DriverInstance &di, int n) {
  return n >= 1 && n <= di.StationCount ? di.ConfigAt(n) : nullptr;
}

std::string NameOf(DriverInstance &di, int n) {
  const StationConfig *st = ConfigOf(di, n);
  return st ? st->Name.str() : std::string();
}

bool Sleeping(DriverInstance &di, int n) {
  MutexLock lock(di.DataLock);
  const Station *st = StationOf(di, n);
  return st && FromReal6(st->SleepRemaining) > 0.0;
}

uint64_t HeadSerial(DriverInstance &di, QueueId q) {
  QueuedRequest head;
  return di.Queues.CopyHead(q, head) ? head.Serial : 0;
}

// Rotates or removes the head, provided it is still the entry of that
// serial. The queues take their own lock for it, so the change needs no trip
// to the host's thread: a read's answer reaches its value without waiting for
// the host to dispatch a message.
bool ChangeHead(DriverInstance &di, QueueId q, uint64_t serial, HeadChange change) {
  if (change == HeadChange::Keep) return false;
  const bool changed = change == HeadChange::Rotate ? di.Queues.RotateIf(q, serial)
                                                    : di.Queues.RemoveHeadIf(q, serial);
  if (!changed) di.Debug(kCycleLabel, "queue head changed meanwhile: left as it is");
  return changed;
}

// A request goes out only over its own station's gateway: one for a station
// behind another gateway (which another controller of the same address may
// answer) is dropped, with an event line that names the station and the
// gateway it waits for.
bool BehindConnectedGateway(DriverInstance &di, LineClient &client, const QueuedRequest &r) {
  const StationConfig *st = ConfigOf(di, r.Station);
  return !st || st->BehindGateway(client.Host(), client.Port());
}

void DropForeignHeads(DriverInstance &di, LineClient &client, QueueId q) {
  QueuedRequest head;
  while (di.Queues.CopyHead(q, head) && !BehindConnectedGateway(di, client, head)) {
    const StationConfig &st = *ConfigOf(di, head.Station);
    di.Debug(kCycleLabel, "station behind another gateway -> request dropped");
    if (!ChangeHead(di, q, head.Serial, HeadChange::Remove)) return;
    PostEventFromThread(di, st.Name.str() + Say(TextId::OtherGateway) + st.Ip.str() + ":" +
                                std::to_string(st.Port) + ")");
  }
}

// Brings to the head the first request, in rotation order, whose station is
// awake and behind the connected gateway (others are dropped on the way).
// With every station of the queue asleep the queue goes round once and ends
// in its former order; the answer is then false.
bool FindAwakeHead(DriverInstance &di, LineClient &client, QueueId q, QueuedRequest &head) {
  DropForeignHeads(di, client, q);
  if (!di.Queues.CopyHead(q, head)) return false;
  const uint64_t start = head.Serial;
  const std::size_t rounds = di.Queues.Count(q);
  for (std::size_t rotations = 0;; ++rotations) {
    if (!Sleeping(di, head.Station)) return true;
    if (rotations >= rounds) return false;
    if (!ChangeHead(di, q, head.Serial, HeadChange::Rotate)) return false;
    DropForeignHeads(di, client, q);
    if (!di.Queues.CopyHead(q, head) || head.Serial == start) return false;
  }
}

void CountRequest(DriverInstance &di, int n) {
  MutexLock lock(di.DataLock);
  if (Station *st = StationOf(di, n)) CountOne(st->RequestCount);
}

// --- state 0
void Idle(DriverInstance &di, LineClient &client) {
  PollingState &cycle = di.Polling;
  {
    MutexLock lock(cycle.Lock);
    cycle.PrimarySent = 0;
    cycle.SecondarySent = 0;
  }
  Str255 frame;
  QueuedRequest chosen;
  bool picked = false;
  // The event line that shows a QQ request goes to the host's thread after
  // the frame has gone out: the frame does not wait for the host to show it.
  std::string shown;
  QueueId queue = QueueId::Primary;

  // Writing first.
  if (di.Queues.Count(QueueId::Primary) > 0 &&
      FindAwakeHead(di, client, QueueId::Primary, chosen)) {
    picked = true;
    if (chosen.Kind == kWriteQq) {
      shown = NameOf(di, chosen.Station) + Say(TextId::QqWriteSent) +
              HexText(chosen.Data.view()).str() + ")";
    }
    frame = BuildRequestFrame(di, chosen);
    CountRequest(di, chosen.Station);
    {
      MutexLock lock(cycle.Lock);
      cycle.PrimarySent = 1;
    }
    di.Debug(kCycleLabel, "station NOT sleep -> lets go / priority");
  }

  // Reading second.
  if (!picked && di.Queues.Count(QueueId::Secondary) > 0) {
    const std::size_t before = di.Queues.Count(QueueId::Secondary);
    // On the host's thread: a host that stops pumping holds the thread here,
    // before a frame goes out whose answer only its pumping would bring in.
    SynchronizeFromThread(di, [&di] { di.Queues.CompressReads(); });
    const std::size_t after = di.Queues.Count(QueueId::Secondary);
    if (after < before) {
      PostEventFromThread(di, Say(TextId::QueueCompressed) + FormatReal(before, 1, 0).str() + "->" +
                                  FormatReal(after, 1, 0).str() + " )");
    }
    queue = QueueId::Secondary;
    if (FindAwakeHead(di, client, queue, chosen)) {
      picked = true;
      if (chosen.Kind == kReadQq) {
        shown = NameOf(di, chosen.Station) + Say(TextId::QqReadSent) +
                FormatReal(chosen.Data.size() / 3, 1, 0).str() + "x)";
      }
      frame = BuildRequestFrame(di, chosen);
      CountRequest(di, chosen.Station);
      {
        MutexLock lock(cycle.Lock);
        cycle.SecondarySent = 1;
      }
      di.Debug(kCycleLabel, "station NOT sleep -> lets go");
    }
  }

  if (frame.empty()) {
    // A request that cannot be coded would come back to the head on every
    // idle step and hold back its whole queue: it leaves the queue.
    if (!shown.empty()) PostEventFromThread(di, shown);
    if (picked) {
      di.Debug(kCycleLabel, "empty frame -> request dropped");
      ChangeHead(di, queue, chosen.Serial, HeadChange::Remove);
    }
    di.Line.CycleState.store(kCycleAwaitingAnswer);
    MutexLock lock(cycle.Lock);
    cycle.AwaitingAnswer = 0;
    return;
  }

  di.Debug(kCycleLabel, "transmit now");
  {
    MutexLock lock(cycle.Lock);
    cycle.TransmitFrame = frame;
    cycle.LastRequestFrame = frame;
    cycle.SentRequest = chosen;
  }
  client.SendFrame(di.Line, frame, kCycleTransmitting);
  if (di.Log.Enabled()) di.Debug("hex", HexText(frame.view()).view());
  const bool stillHead = HeadSerial(di, queue) == chosen.Serial;
  {
    MutexLock lock(di.DataLock);
    MutexLock cycleLock(cycle.Lock);
    cycle.AwaitingAnswer = 1;
    cycle.SecondsSinceTransmit = Real6();
    Station *st = stillHead ? StationOf(di, chosen.Station) : nullptr;
    if (st) {
      cycle.CurrentStation = chosen.Station;
      cycle.CurrentKind = static_cast<uint8_t>(chosen.Kind);
      st->Busy = 1;
    } else {
      cycle.CurrentStation = 0;
      cycle.CurrentKind = 0;
    }
  }
  if (!shown.empty()) PostEventFromThread(di, shown);
}

// The queue the request in flight came from, and the request as the cycle
// copied it; false when it came from none.
bool SentQueue(DriverInstance &di, QueueId &q, QueuedRequest &sent) {
  MutexLock lock(di.Polling.Lock);
  if (di.Polling.PrimarySent) {
    q = QueueId::Primary;
  } else if (di.Polling.SecondarySent) {
    q = QueueId::Secondary;
  } else {
    return false;
  }
  sent = di.Polling.SentRequest;
  return true;
}

// Applies the answer rule (answered) or the time-out rule to the request in
// flight, when it is still at the head of its queue. When the host has
// emptied the queue meanwhile, only its station's Busy flag is cleared.
void SettleRequest(DriverInstance &di, bool answered) {
  QueueId q;
  QueuedRequest sent;
  if (!SentQueue(di, q, sent)) return;
  const bool atHead = HeadSerial(di, q) == sent.Serial;
  const bool alone = di.Queues.Count(q) <= 1;
  HeadChange change = HeadChange::Keep;
  {
    MutexLock lock(di.DataLock);
    Station *st = StationOf(di, sent.Station);
    if (!st) return;
    st->Busy = 0;
    if (!atHead) {
      // Nothing to settle: the request is no longer in its queue.
    } else if (answered) {
      if (st->Phone.empty()) {
        change = HeadChange::Remove;
      } else if (st->FailCount < di.Global.NumTolvinError) {
        change = st->Fault ? HeadChange::Rotate : HeadChange::Remove;
      } else {
        st->FailCount = 0;
        st->Fault = 1;
        change = HeadChange::Remove;
      }
    } else {
      ++st->FailCount;
      if (st->Phone.empty() || st->FailCount < di.Global.NumTolvinError) {
        change = alone ? HeadChange::Keep : HeadChange::Rotate;
      } else if (!di.Global.StayInQueueOnTimeout) {
        st->Fault = 1;
        st->FailCount = 0;
        change = HeadChange::Remove;
      }
    }
  }
  if (!atHead) di.Debug(kCycleLabel, "request in flight left its queue meanwhile");
  ChangeHead(di, q, sent.Serial, change);
}

// --- state 1
void Transmitting(DriverInstance &di, LineClient &client) {
  if (client.CanTransmit(di.Line)) {
    di.Line.CycleState.store(kCycleAwaitingAnswer);
    di.Debug("TRANSMIT", "END");
  }
  bool late;
  {
    MutexLock lock(di.Polling.Lock);
    late = FromReal6(di.Polling.SecondsSinceTransmit) > FromReal6(di.Global.AnswerTime);
  }
  if (late) di.Line.CycleState.store(kCycleTimeout);
}

// --- state 2
void AwaitingAnswer(DriverInstance &di, LineClient &client) {
  if (ReceiveWhatWaits(di, client)) {
    {
      MutexLock lock(di.Polling.Lock);
      di.Polling.SecondsSinceAnswer = Real6();
      di.Polling.AwaitingAnswer = 0;
      di.Polling.MsTimers[1] = Real6();
    }
    di.Line.CycleState.store(kCyclePause);
    SettleRequest(di, true);
    return;
  }
  bool awaiting, late;
  {
    MutexLock lock(di.Polling.Lock);
    awaiting = di.Polling.AwaitingAnswer != 0;
    late = FromReal6(di.Polling.SecondsSinceTransmit) > FromReal6(di.Global.AnswerTime);
  }
  if (awaiting && late) {
    di.Line.CycleState.store(kCycleTimeout);
    SettleRequest(di, false);
  } else if (!awaiting) {
    di.Line.CycleState.store(kCycleIdle);
  }
}

// --- state 255
void Timeout(DriverInstance &di, LineClient &client) {
  int n;
  {
    MutexLock lock(di.Polling.Lock);
    n = di.Polling.CurrentStation;
  }
  // A frame that belonged to no queue request has no station to charge.
  if (ConfigOf(di, n)) {
    const std::string name = NameOf(di, n);
    PostEventFromThread(di, name + Say(TextId::AnswerTimeout) + DateTimeText() + ")");
    bool sleepStarts = false;
    {
      MutexLock lock(di.DataLock);
      Station &st = *StationOf(di, n);
      ++st.TimeoutRun;
      CountOne(st.TimeoutTotal);
      if (FromReal6(st.SleepRemaining) == 0.0 && st.TimeoutRun >= di.Global.SleepCount &&
          FromReal6(di.Global.SleepTime) != 0.0) {
        st.SleepRemaining = di.Global.SleepTime;
        sleepStarts = true;
      }
    }
    if (sleepStarts) PostEventFromThread(di, name + Say(TextId::SleepStart));
  }
  client.ClearReceived();
  // The bytes of a partial message are gone with the store: reception must
  // hunt for a new PREFIX instead of waiting for the rest of that message.
  ResetReception(di);
  di.Line.CycleState.store(kCycleIdle);
}

// --- state 3
void Pause(DriverInstance &di, LineClient &client) {
  PollingState &cycle = di.Polling;
  Str255 frame;
  {
    MutexLock lock(cycle.Lock);
    if (FromReal6(cycle.MsTimers[1]) <= di.Global.SilenceWait) return;
    if (!cycle.FollowUpPending) {
      di.Line.CycleState.store(kCycleIdle);
      return;
    }
    frame = cycle.FollowUpFrame;
  }
  client.SendFrame(di.Line, frame, kCycleFollowUp);
  MutexLock lock(cycle.Lock);
  cycle.FollowUpSent = frame;
  cycle.FollowUpPending = 0;
  cycle.FollowUpFrame.clear();
  if (!cycle.MoreFollowUps.empty()) {
    cycle.FollowUpFrame = cycle.MoreFollowUps.front();
    cycle.MoreFollowUps.pop_front();
    cycle.FollowUpPending = 1;
  }
}

// --- state 5: with another acknowledgment due, a new pause before it.
void FollowUp(DriverInstance &di, LineClient &client) {
  if (!client.CanTransmit(di.Line)) return;
  MutexLock lock(di.Polling.Lock);
  if (di.Polling.FollowUpPending) {
    di.Polling.MsTimers[1] = Real6();
    di.Line.CycleState.store(kCyclePause);
  } else {
    di.Line.CycleState.store(kCycleIdle);
  }
}

}  // namespace

void CycleStep(DriverInstance &di, LineClient &client) {
  switch (di.Line.CycleState.load()) {
    case kCycleIdle:
      Idle(di, client);
      break;
    case kCycleTransmitting:
      Transmitting(di, client);
      break;
    case kCycleAwaitingAnswer:
      AwaitingAnswer(di, client);
      break;
    case kCyclePause:
      Pause(di, client);
      break;
    case kCycleFollowUp:
      FollowUp(di, client);
      break;
    case kCycleTimeout:
      Timeout(di, client);
      break;
    default:
      di.Line.CycleState.store(kCycleIdle);
      break;
  }
}

}  // namespace zl
