#include "driver/EventLines.h"

#include "core/DriverInstance.h"

namespace zl {

void AddToMemo(DriverInstance &di) {
  if (di.PendingEvent.empty()) return;
  if (di.Services) di.Services->AddEvent(di.PendingEvent.view());
  di.Debug("AddToMemo", di.PendingEvent.view());
  di.PendingEvent.clear();
}

}  // namespace zl
