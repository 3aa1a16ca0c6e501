// The two request queues of DriverInstance: the PrimaryQueue for writes and
// the SecondaryQueue for reads, and every operation on them.
//
// The host's thread appends (Enqueue) and, through the communication thread's
// synchronised call, removes, rotates and merges; the communication thread
// itself clears both queues when the connection is lost. One mutex
// (di.QueueLock) guards both lists and their indexes, so no interleaving of
// the two threads can corrupt them. QueueBusy still reads 1 while a removal,
// rotation, compression or clearing runs, and Enqueue and the pending-read
// test still wait for it to fall (or for OnDone) before they start.
//
// Change the lists only through these operations: they keep the counts of
// di.PrimaryIndex / di.SecondaryIndex that make the duplicate rule and the
// pending-read test independent of the queues' lengths. None of them may be
// called while holding di.QueueLock.
#ifndef ZL_CORE_REQUESTQUEUES_H
#define ZL_CORE_REQUESTQUEUES_H

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/DriverInstance.h"

namespace zl {

enum class QueueId : uint8_t { Primary, Secondary };

// Appends a request unless an equal one is already waiting. Equal means the
// same Station, Kind, Index and Definition, and for kinds 15 and 16 the same
// Data. The head and the tail are never counted as duplicates: only an equal
// request strictly between them drops the new one (silently). Data is cut to
// 255 bytes. Answers whether the request was appended.
bool Enqueue(DriverInstance &di, QueueId queue, uint8_t station, uint8_t kind, int16_t index,
             std::string_view data = {}, const MemoryBlock *definition = nullptr);

// Unlinks and frees the head (nothing when the queue is empty).
void RemoveHead(DriverInstance &di, QueueId queue);

// The same, only when the head is still the entry whose copy (CopyHead) the
// caller holds: a queue cleared and refilled meanwhile is left alone. Answers
// whether it acted.
bool RemoveHeadIf(DriverInstance &di, QueueId queue, uint64_t serial);

// Removes every request.
void Clear(DriverInstance &di, QueueId queue);

// Moves the head to the tail; a queue of fewer than two requests stays as it is.
void Rotate(DriverInstance &di, QueueId queue);

// Rotate, only when the head is still the entry of that serial.
bool RotateIf(DriverInstance &di, QueueId queue, uint64_t serial);

// Merges runs of single-object QQ reads (kind 16) of one station in the
// SecondaryQueue into their first request: a successor joins when it is a
// kind-16 read of the same station whose Data is exactly one 3-byte
// descriptor, neither its descriptor nor the first one of the run is three
// zero bytes, and the run holds fewer than 60 descriptors.
void CompressReads(DriverInstance &di);

std::size_t Count(const DriverInstance &di, QueueId queue);

// A copy of the head (the polling cycle works on a copy); false when empty.
bool CopyHead(const DriverInstance &di, QueueId queue, QueuedRequest &head);

// An identity of the head request, stable while it stays queued (rotations
// included); nullptr when the queue is empty. Lets the cycle see that a
// rotation has brought its starting head back round.
const void *HeadIdentity(const DriverInstance &di, QueueId queue);

// True when a QQ read (kind 16) in the SecondaryQueue holds the descriptor
// (a1, a2, a3), whatever its station. Waits for QueueBusy as Enqueue does.
bool QqReadPending(DriverInstance &di, uint8_t a1, uint8_t a2, uint8_t a3);

// "Primární fronta (pro zápis)  : " n CR "Sekundární fronta (pro čtení) : " m,
// in Windows-1250, cut to 255 bytes.
Str255 QueueStatusText(const DriverInstance &di);

}  // namespace zl

#endif  // ZL_CORE_REQUESTQUEUES_H
