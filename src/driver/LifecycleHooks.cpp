// Steps of Init and Done that belong to the TCP client, the request queues
// and the answer store.
#include "core/RequestQueues.h"
#include "driver/Driver.h"
#include "driver/StatusLabels.h"
#include "net/GatewayClient.h"
#include "protocol/Reception.h"

namespace zl {

// Init step 11: the TCP client, owned by this form, writing its status lines
// into the EventList; not connected.
std::unique_ptr<LineClient> Driver::CreateClient() {
  return std::make_unique<GatewayClient>(Loop, this);
}

// Init step 14: Clear the PrimaryQueue, then the SecondaryQueue.
void Driver::ClearQueuesAtStart() {
  Di.Queues.Clear(QueueId::Primary);
  Di.Queues.Clear(QueueId::Secondary);
}

// Init step 16: QueueStatusLabel := the queue status text.
void Driver::ShowInitialQueueStatus() {
  ShowQueueStatus(QueueStatusLabel, Di.Queues.StatusText().view());
}

// Done step 3: empty the answer store; Clear the SecondaryQueue, then the
// PrimaryQueue.
void Driver::ClearStoreAndQueues() {
  Di.Received.Clear();
  Di.Queues.Clear(QueueId::Secondary);
  Di.Queues.Clear(QueueId::Primary);
}

}  // namespace zl
