#include "driver/CommPass.h"

#include <algorithm>
#include <cmath>

#include "core/DriverInstance.h"
#include "core/LineClient.h"
#include "core/RequestQueues.h"
#include "driver/EventLines.h"
#include "driver/Housekeeping.h"
#include "driver/PollingCycle.h"
#include "port/Clock.h"
#include "protocol/Reception.h"

namespace zl {

void HandOverPendingEvent(PassContext &ctx) {
  if (ctx.Di.PendingEvent.empty() || !ctx.Di.Services) return;
  DriverInstance &di = ctx.Di;
  // Waits for the host's thread, which may be waiting for a driver lock: none
  // is held here. The host's thread shows the line while this thread waits.
  di.Services->Synchronize([&di] {
    di.CommThreadRole.Assert();
    AddToMemo(di);
  });
}

namespace {

// What a pass can advance.
struct PassMark {
  uint8_t State = 0;
  bool Awaiting = false;
  int Waiting = 0;
  std::size_t Window = 0;
  std::size_t Buffer = 0;
  std::size_t Stored = 0;
  std::size_t Primary = 0;
  std::size_t Secondary = 0;

  // The idle state's turn through state 2 when it found nothing to send.
  bool IdleTurn() const { return State == kCycleAwaitingAnswer && !Awaiting; }
  bool Idle() const { return State == kCycleIdle || IdleTurn(); }
  bool SameWork(const PassMark &o) const {
    return Waiting == o.Waiting && Window == o.Window && Buffer == o.Buffer && Stored == o.Stored &&
           Primary == o.Primary && Secondary == o.Secondary;
  }
};

PassMark MarkOf(PassContext &ctx) {
  DriverInstance &di = ctx.Di;
  PassMark m;
  m.State = di.Line.CycleState.load();
  m.Waiting = ctx.Client ? ctx.Client->ReceivedCount() : 0;
  m.Stored = di.Received.Count();
  m.Primary = di.Queues.Count(QueueId::Primary);
  m.Secondary = di.Queues.Count(QueueId::Secondary);
  MutexLock lock(di.Polling.Lock);
  m.Awaiting = di.Polling.AwaitingAnswer != 0;
  m.Window = di.Polling.PrefixWindow.size();
  m.Buffer = di.Polling.MessageBuffer.size();
  return m;
}

bool Advanced(const PassMark &before, const PassMark &after) {
  if (!before.SameWork(after)) return true;
  if (before.State == after.State) return false;
  // An idle cycle alternates between state 0 and the idle turn of state 2:
  // that is progress only when it comes back to state 0 with a request
  // waiting, which the next step will send.
  if (before.Idle() && after.Idle()) {
    return after.State == kCycleIdle && after.Primary + after.Secondary > 0;
  }
  return true;
}

// Milliseconds until a clock that the housekeeping advances in steps of
// 10 ms, now at value, has gone past limit; msToStep to its next step.
double MsUntilPast(double value, double limit, int msToStep) {
  if (value > limit) return 0;
  const double steps = std::floor((limit - value) / 10.0);  // after the next one
  return msToStep + 10.0 * steps;
}

}  // namespace

bool RunPass(PassContext &ctx) {
  const PassMark before = MarkOf(ctx);
  Housekeeping(ctx.Di, ctx.QueueStatusLabel, ctx.ActivityLabel);
  HandOverPendingEvent(ctx);
  if (ctx.Client && ctx.Client->PollEnabled()) ConnectionPass(ctx.Di, *ctx.Client);
  ExtractStep(ctx.Di);
  HandOverPendingEvent(ctx);
  return Advanced(before, MarkOf(ctx));
}

int MsToNextDeadline(DriverInstance &di, int idleTime) {
  // The clocks move when the time of day in hundredths does.
  const int msToStep = 10 - Now().Millisecond % 10;
  double ms = idleTime;
  const uint8_t state = di.Line.CycleState.load();
  {
    const PollingState &cycle = di.Polling;
    MutexLock lock(cycle.Lock);
    if (state == kCyclePause) {
      ms = std::min(ms, MsUntilPast(FromReal6(cycle.MsTimers[1]), di.Global.SilenceWait, msToStep));
    } else if ((state == kCycleTransmitting || state == kCycleAwaitingAnswer) &&
               cycle.AwaitingAnswer != 0) {
      ms = std::min(ms, MsUntilPast(1000.0 * FromReal6(cycle.SecondsSinceTransmit),
                                    1000.0 * FromReal6(di.Global.AnswerTime), msToStep));
    }
  }
  {
    MutexLock lock(di.DataLock);
    for (int n = 1; n <= di.StationCount; ++n) {
      const Station *st = di.StationAt(n);
      const double remaining = st ? FromReal6(st->SleepRemaining) : 0.0;
      if (remaining > 0.0) ms = std::min(ms, MsUntilPast(-1000.0 * remaining, -0.001, msToStep));
    }
  }
  return std::max(1, static_cast<int>(std::ceil(ms)));
}

}  // namespace zl
