// Steps of Init and Done that belong to the TCP client, the request queues
// and the answer store. Each is one small function so it can be wired where
// those parts land; until then they do nothing.
#include "driver/TDrvForm.h"

namespace zl {

// Init step 11: the TCP client (owner: this form; status lines: EventList),
// not connected. None yet: the thread runs without a client.
std::unique_ptr<LineClient> TDrvForm::CreateClient() {
  return nullptr;
}

// Init step 14: Clear the PrimaryQueue, then the SecondaryQueue.
void TDrvForm::ClearQueuesAtStart() {}

// Init step 16: Label1 := the queue status text.
void TDrvForm::ShowInitialQueueStatus() {}

// Done step 3: empty the answer store; Clear the SecondaryQueue, then the
// PrimaryQueue.
void TDrvForm::ClearStoreAndQueues() {}

}  // namespace zl
