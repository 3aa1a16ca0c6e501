// The polling cycle: keeps one ZL2 request in flight. A small state machine,
// stepped once per pass of the communication thread while a station is
// online:
//
//   0 idle          choose a request (writes first, then reads, passing over
//                   sleeping stations), build its frame and send it
//   1 transmitting  wait until the client can transmit again
//   2 awaiting      receive; an answer leads to the pause, no answer within
//                   ANSWER_TIME to the time-out
//   3 pause         wait SILENCE_WAIT ms, then send a waiting follow-up frame
//                   (an acknowledgment) or go idle
//   5 follow-up     wait until the client can transmit again, then idle
//   255 time-out    report and count the time-out, maybe start the station's
//                   sleep, throw away what was received
//
// The state lives in di.Line.CycleState (any other value counts as idle).
// The merging of reads (CompressReads) runs on the host's thread through the
// synchronised call before every read; removals and rotations run
// on the communication thread under the queues' own lock, so that an answer
// reaches its value without a trip to the host's thread. A removal or
// rotation takes place only while the head is still the request the cycle
// chose: the host may have emptied the queue meanwhile.
#ifndef ZL_DRIVER_POLLINGCYCLE_H
#define ZL_DRIVER_POLLINGCYCLE_H

#include <cstdint>

#include "core/DriverInstance.h"
#include "core/LineClient.h"

namespace zl {

enum CycleStateValue : uint8_t {
  kCycleIdle = 0,
  kCycleTransmitting = 1,
  kCycleAwaitingAnswer = 2,
  kCyclePause = 3,
  kCycleFollowUp = 5,
  kCycleTimeout = 255,
};

// Communication thread; never re-entered. Takes no lock across a
// synchronised call or an event line.
void CycleStep(DriverInstance &di, LineClient &client);

}  // namespace zl

#endif  // ZL_DRIVER_POLLINGCYCLE_H
