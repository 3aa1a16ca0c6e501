#include "driver/CommPass.h"

#include "driver/DriverInstance.h"
#include "driver/EventLines.h"

namespace zl {

void HandOverPendingEvent(PassContext &ctx) {
  DriverInstance &di = ctx.Di;
  if (di.PendingEvent.empty() || !di.Services) return;
  di.Services->Synchronize([&di] { AddToMemo(di); });
}

void RunPass(PassContext &ctx) {
  // 1. Housekeeping: not yet part of the driver.
  HandOverPendingEvent(ctx);
  // 3. Connection pass and 4. answer decoding: not yet part of the driver.
  HandOverPendingEvent(ctx);
}

}  // namespace zl
