#include "driver/CommPass.h"

#include "core/DriverInstance.h"
#include "driver/EventLines.h"
#include "driver/Housekeeping.h"
#include "core/LineClient.h"
#include "protocol/Reception.h"

namespace zl {

void HandOverPendingEvent(PassContext &ctx) {
  DriverInstance &di = ctx.Di;
  if (di.PendingEvent.empty() || !di.Services) return;
  di.Services->Synchronize([&di] { AddToMemo(di); });
}

void RunPass(PassContext &ctx) {
  DriverInstance &di = ctx.Di;
  Housekeeping(di, ctx.QueueStatusLabel, ctx.ActivityLabel);
  HandOverPendingEvent(ctx);
  if (ctx.Client && ctx.Client->PollEnabled()) ConnectionPass(di, *ctx.Client);
  ExtractStep(di);
  HandOverPendingEvent(ctx);
}

}  // namespace zl
