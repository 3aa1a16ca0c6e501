// One pass of the communication thread: the work CommThread repeats while
// IdleGO is 1, pass after pass within one wake as long as they advance. The
// loop itself (flags, sleep, termination) is CommThread's; everything a pass
// does, and what tells the loop whether to go on or how long to sleep, is here.
//
// A pass, in order:
//   1. housekeeping: clocks, timers, status labels, station sleep countdowns;
//   2. a waiting event line goes to the event list (synchronised call);
//   3. the connection pass, while the client's polling is enabled;
//   4. the decoding of at most one stored answer;
//   5. a waiting event line goes to the event list (synchronised call).
#ifndef ZL_DRIVER_COMMPASS_H
#define ZL_DRIVER_COMMPASS_H

#include "core/DriverInstance.h"
#include "port/Window.h"

namespace zl {

class LineClient;

// What a pass works on: the values CommThread was built with.
struct PassContext {
  DriverInstance &Di;
  LineClient *Client;       // null until the driver has a client
  Label &QueueStatusLabel;  // queue status text
  Label &ActivityLabel;     // activity indicator
  Memo &EventList;
};

// Communication thread; never holds a driver lock across a synchronised call.
// Answers whether the pass advanced anything: bytes taken from the client, a
// message assembled, stored or decoded, a queue changed, or the cycle moved
// to another state (except the idle state's finding nothing to send). Another
// pass may then advance further at once; otherwise nothing will until time
// passes, bytes arrive or the host asks for something.
bool RunPass(PassContext &ctx) REQUIRES(ctx.Di.CommThreadRole);

// Milliseconds the thread may sleep after a pass that advanced nothing: the
// time to the earliest moment it knows something falls due (the end of the
// pause after an answer, the answer time-out, the end of a station's sleep
// period) as the driver's 10 ms clock will see it, at most idleTime and at
// least 1.
int MsToNextDeadline(DriverInstance &di, int idleTime) EXCLUDES(di.DataLock, di.Polling.Lock);

// Step 2 and 5: when PendingEvent holds a line, runs AddToMemo on the host's
// thread through the synchronised call and waits for it.
void HandOverPendingEvent(PassContext &ctx) REQUIRES(ctx.Di.CommThreadRole)
    EXCLUDES(ctx.Di.DataLock, ctx.Di.Polling.Lock, ctx.Di.Sample.Lock);

}  // namespace zl

#endif  // ZL_DRIVER_COMMPASS_H
