// Steps of Init and Done that belong to the TCP client, the request queues
// and the answer store.
#include "driver/StatusLabels.h"
#include "driver/TDrvForm.h"
#include "net/TMyTCPClient.h"
#include "protocol/Reception.h"
#include "protocol/RequestQueues.h"

namespace zl {

// Init step 11: the TCP client, owned by this form, writing its status lines
// into the EventList; not connected.
std::unique_ptr<LineClient> TDrvForm::CreateClient() {
  return std::make_unique<TMyTCPClient>(Loop, this);
}

// Init step 14: Clear the PrimaryQueue, then the SecondaryQueue.
void TDrvForm::ClearQueuesAtStart() {
  Clear(Di, QueueId::Primary);
  Clear(Di, QueueId::Secondary);
}

// Init step 16: Label1 := the queue status text.
void TDrvForm::ShowInitialQueueStatus() {
  ShowQueueStatus(Label1, QueueStatusText(Di).view());
}

// Done step 3: empty the answer store; Clear the SecondaryQueue, then the
// PrimaryQueue.
void TDrvForm::ClearStoreAndQueues() {
  ClearStore(Di);
  Clear(Di, QueueId::Secondary);
  Clear(Di, QueueId::Primary);
}

}  // namespace zl
