// Steps of Init and Done that belong to the TCP client, the request queues
// and the answer store.
#include "driver/Driver.h"
#include "driver/StatusLabels.h"
#include "net/GatewayClient.h"
#include "protocol/Reception.h"
#include "core/RequestQueues.h"

namespace zl {

// Init step 11: the TCP client, owned by this form, writing its status lines
// into the EventList; not connected.
std::unique_ptr<LineClient> Driver::CreateClient() {
  return std::make_unique<GatewayClient>(Loop, this);
}

// Init step 14: Clear the PrimaryQueue, then the SecondaryQueue.
void Driver::ClearQueuesAtStart() {
  Clear(Di, QueueId::Primary);
  Clear(Di, QueueId::Secondary);
}

// Init step 16: QueueStatusLabel := the queue status text.
void Driver::ShowInitialQueueStatus() {
  ShowQueueStatus(QueueStatusLabel, QueueStatusText(Di).view());
}

// Done step 3: empty the answer store; Clear the SecondaryQueue, then the
// PrimaryQueue.
void Driver::ClearStoreAndQueues() {
  ClearStore(Di);
  Clear(Di, QueueId::Secondary);
  Clear(Di, QueueId::Primary);
}

}  // namespace zl
