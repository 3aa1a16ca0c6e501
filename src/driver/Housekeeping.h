// The communication thread's work around the polling cycle: the clocks,
// timers, status labels and sleep countdowns of every pass, and the
// connection pass that confirms which station the gateway connection belongs
// to, steps the cycle while one does, and drops every queued request once the
// connection is gone.
#ifndef ZL_DRIVER_HOUSEKEEPING_H
#define ZL_DRIVER_HOUSEKEEPING_H

#include "core/DriverInstance.h"
#include "core/LineClient.h"
#include "port/Window.h"

namespace zl {

// Once per pass. Empties PendingEvent; advances the clocks (driver-wide and
// per station, in seconds) and the 12 MsTimers by the time since the last
// pass (0 across midnight); refreshes QueueStatusLabel with the queue status text once
// a second, when it changed, and steps the activity indicator in ActivityLabel
// every 100 ms; counts down the stations' sleep periods and reports each
// one that ends (" - konec módu "sleep"").
void Housekeeping(DriverInstance &di, Label &queueStatusLabel, Label &activityLabel)
    REQUIRES(di.CommThreadRole);

// Once per pass while the client's polling is enabled. Connected: stations
// that asked for this connection (their IP and PORT are the client's) go
// online, stations of every other gateway go offline, and one step of the
// polling cycle runs once a station is online. Not connected: every station
// goes offline, and both queues are emptied, and with them the client's
// receive store and the reception state.
void ConnectionPass(DriverInstance &di, LineClient &client);

}  // namespace zl

#endif  // ZL_DRIVER_HOUSEKEEPING_H
