#include "driver/Housekeeping.h"

#include <cmath>
#include <mutex>
#include <string>
#include <vector>

#include "core/RequestQueues.h"
#include "driver/PollingCycle.h"
#include "driver/StatusLabels.h"
#include "driver/ThreadCalls.h"
#include "port/Clock.h"
#include "protocol/Reception.h"
#include "util/Texts.h"

namespace zl {

namespace {

constexpr int kStatusTimer = 10;   // QueueStatusLabel, once a second
constexpr int kActivityTimer = 9;  // ActivityLabel, every 100 ms
constexpr double kStatusPeriodMs = 1000.0;
constexpr double kActivityPeriodMs = 100.0;

// Restarts the timer and answers true once it has reached the period.
bool TimerDue(Real6 &timer, double periodMs) {
  if (FromReal6(timer) < periodMs) return false;
  timer = Real6();
  return true;
}

// Advances a clock of seconds by elapsed hundredths, kept to whole
// hundredths: a sum of many 0.01 steps would otherwise drift with the number
// of passes that added them (a hundred make a little more than 1.0, and a
// time-out of 1.0 s would come a step early).
void AddCentiseconds(Real6 &clock, int32_t elapsed) {
  if (elapsed == 0) return;
  clock = ToReal6(std::round((FromReal6(clock) * 100.0 + elapsed)) / 100.0);
}

}  // namespace

void Housekeeping(DriverInstance &di, Label &queueStatusLabel, Label &activityLabel) {
  di.PendingEvent.clear();
  const int32_t now = DayCentiseconds();
  bool statusDue, activityDue;
  std::vector<std::string> sleepEnded;
  {
    MutexLock lock(di.DataLock);
    PollingState &cycle = di.Polling;
    MutexLock cycleLock(cycle.Lock);
    // Past midnight the clock starts again from 0: that interval counts as 0.
    const int32_t elapsed = cycle.LastTick <= now ? now - cycle.LastTick : 0;
    AddCentiseconds(cycle.SecondsSinceAnswer, elapsed);
    AddCentiseconds(cycle.SecondsSinceTransmit, elapsed);
    for (int i = 1; i <= 12; ++i) AddTo(cycle.MsTimers[i], elapsed * 10.0);
    statusDue = TimerDue(cycle.MsTimers[kStatusTimer], kStatusPeriodMs);
    activityDue = TimerDue(cycle.MsTimers[kActivityTimer], kActivityPeriodMs);
    for (int n = 1; n <= di.StationCount; ++n) {
      Station *st = di.StationAt(n);
      if (!st) continue;
      AddCentiseconds(st->SecondsSinceAnswer, elapsed);
      if (FromReal6(st->SleepRemaining) > 0.0) {
        AddCentiseconds(st->SleepRemaining, -elapsed);
        if (FromReal6(st->SleepRemaining) <= 0.0) {
          st->SleepRemaining = Real6();
          st->TimeoutRun = 0;
          sleepEnded.push_back(st->Name.str() + Say(TextId::SleepEnd));
        }
      }
    }
    cycle.LastTick = now;
  }
  if (statusDue) ShowQueueStatus(queueStatusLabel, di.Queues.StatusText().view());
  if (activityDue) {
    StepActivityIndicator(activityLabel, di.Queues.Count(QueueId::Primary),
                          di.Queues.Count(QueueId::Secondary));
  }
  for (const std::string &line : sleepEnded) PostEventFromThread(di, line);
}

void ConnectionPass(DriverInstance &di, LineClient &client) {
  if (client.Connected()) {
    const std::string host = client.Host();
    const int port = client.Port();
    {
      MutexLock lock(di.DataLock);
      for (int n = 1; n <= di.StationCount; ++n) {
        Station *st = di.StationAt(n);
        if (!st) continue;
        // A station reads connected only while its own gateway is.
        if (!st->BehindGateway(host, port)) {
          st->Online = 0;
          continue;
        }
        if (st->ConnectRequested != 1) continue;
        st->ConnectRequested = 0;
        st->Online = 1;
        di.StationOnline.store(1);
      }
    }
    if (di.StationOnline.load() == 1) CycleStep(di, client);
    return;
  }
  {
    // The connection is gone: no station reads connected any more.
    MutexLock lock(di.DataLock);
    for (int n = 1; n <= di.StationCount; ++n) {
      if (Station *st = di.StationAt(n)) st->Online = 0;
    }
  }
  bool cleared = false;
  if (di.Queues.Count(QueueId::Secondary) > 0) {
    di.Queues.Clear(QueueId::Secondary);
    cleared = true;
  }
  if (di.Queues.Count(QueueId::Primary) > 0) {
    di.Queues.Clear(QueueId::Primary);
    cleared = true;
  }
  if (cleared) {
    client.ClearReceived();
    ResetReception(di);
  }
}

}  // namespace zl
