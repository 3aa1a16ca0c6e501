// RequestQueues: the driver's two request queues, the PrimaryQueue for writes
// and the SecondaryQueue for reads, with the counts that index them, the mutex
// that guards both, and every operation on them.
//
// Where this mutex stands in the driver's lock order is written with the
// locks, in core/DriverInstance.h. Every operation takes this mutex itself and none may be called
// while it is held (it is private, so only these members can hold it).
//
// The host's thread appends (Enqueue), clears on a new connection and, through
// the communication thread's synchronised call, merges; the communication
// thread removes and rotates as its cycle goes, and clears both queues when
// the connection is lost. The one mutex keeps
// any interleaving of the two threads from corrupting the lists. The busy flag
// the queues own reads 1 while a removal, rotation, compression or clearing
// runs, and Enqueue and the pending-read test wait for it to fall (or for the
// driver's stopping flag, OnDone) before they start.
//
// The lists change only through these operations: they keep the counts that
// make the duplicate rule and the pending-read test independent of the
// queues' lengths.
#ifndef ZL_CORE_REQUESTQUEUES_H
#define ZL_CORE_REQUESTQUEUES_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <list>
#include <string_view>
#include <vector>

#include "core/QueuedRequest.h"
#include "core/RequestIndex.h"
#include "util/Text.h"
#include "util/ThreadSafety.h"

namespace zl {

enum class QueueId : uint8_t { Primary, Secondary };

class RequestQueues {
 public:
  // stopping: the driver's OnDone, which ends the waits for busy; it
  // outlives the queues.
  explicit RequestQueues(const std::atomic<uint8_t> &stopping) : stopping_(stopping) {}
  RequestQueues(const RequestQueues &) = delete;
  RequestQueues &operator=(const RequestQueues &) = delete;

  // Appends a request unless an equal one is already waiting. Equal means the
  // same Station, Kind, Index and Definition, and for kinds 15 and 16 the
  // same Data. The head and the tail are never counted as duplicates: only an
  // equal request strictly between them drops the new one (silently). Data
  // is cut to 255 bytes. Answers whether the request was appended.
  bool Enqueue(QueueId queue, uint8_t station, uint8_t kind, int16_t index,
               std::string_view data = {}, const MemoryBlock *definition = nullptr) EXCLUDES(lock_);

  // Unlinks and frees the head (nothing when the queue is empty).
  void RemoveHead(QueueId queue) EXCLUDES(lock_);

  // The same, only when the head is still the entry whose copy (CopyHead)
  // the caller holds: a queue cleared and refilled meanwhile is left alone.
  // Answers whether it acted.
  bool RemoveHeadIf(QueueId queue, uint64_t serial) EXCLUDES(lock_);

  // Removes every request.
  void Clear(QueueId queue) EXCLUDES(lock_);

  // Moves the head to the tail; a queue of fewer than two requests stays as
  // it is.
  void Rotate(QueueId queue) EXCLUDES(lock_);

  // Rotate, only when the head is still the entry of that serial.
  bool RotateIf(QueueId queue, uint64_t serial) EXCLUDES(lock_);

  // Merges runs of single-object QQ reads (kind 16) of one station in the
  // SecondaryQueue into their first request: a successor joins when it is a
  // kind-16 read of the same station whose Data is exactly one 3-byte
  // descriptor, neither its descriptor nor the first one of the run is three
  // zero bytes, and the run holds fewer than 60 descriptors.
  void CompressReads() EXCLUDES(lock_);

  std::size_t Count(QueueId queue) const EXCLUDES(lock_);

  // A copy of the head (the polling cycle works on a copy); false when empty.
  bool CopyHead(QueueId queue, QueuedRequest &head) const EXCLUDES(lock_);

  // An identity of the head request, stable while it stays queued (rotations
  // included); nullptr when the queue is empty. Lets the cycle see that a
  // rotation has brought its starting head back round.
  const void *HeadIdentity(QueueId queue) const EXCLUDES(lock_);

  // True when a QQ read (kind 16) of the station in the SecondaryQueue holds
  // the descriptor (a1, a2, a3). Another station's read of the same address
  // does not count: controllers with the same program share their variables'
  // addresses, and each must still be read. Waits for busy as Enqueue does.
  bool QqReadPending(uint8_t station, uint8_t a1, uint8_t a2, uint8_t a3) EXCLUDES(lock_);

  // "Primární fronta (pro zápis)  : " n CR "Sekundární fronta (pro čtení) : "
  // m, in Windows-1250, cut to 255 bytes.
  Str255 StatusText() const EXCLUDES(lock_);

  // For inspection (tests, benchmarks): a copy of a queue's requests, head
  // first, and of the counts kept over it, taken together under the lock.
  std::vector<QueuedRequest> Snapshot(QueueId queue) const EXCLUDES(lock_);
  RequestIndex IndexSnapshot(QueueId queue) const EXCLUDES(lock_);

  // The busy flag: 1 while an operation takes requests out of a queue or
  // reorders one.
  uint8_t BusyFlag() const { return busy_.load(std::memory_order_acquire); }
  // For tests: holds the flag up (or lets it fall) as a long removal would,
  // to show who waits for it.
  void HoldBusyFlag(bool held) { busy_.store(held ? 1 : 0, std::memory_order_release); }

 private:
  class Busy;

  std::list<QueuedRequest> &ListOf(QueueId q) REQUIRES(lock_) {
    return q == QueueId::Primary ? primary_ : secondary_;
  }
  const std::list<QueuedRequest> &ListOf(QueueId q) const REQUIRES(lock_) {
    return q == QueueId::Primary ? primary_ : secondary_;
  }
  RequestIndex &IndexOf(QueueId q) REQUIRES(lock_) {
    return q == QueueId::Primary ? primaryIndex_ : secondaryIndex_;
  }
  void WaitWhileBusy() const;

  const std::atomic<uint8_t> &stopping_;
  std::atomic<uint8_t> busy_{0};
  mutable Mutex lock_;
  std::list<QueuedRequest> primary_ GUARDED_BY(lock_);    // writes
  std::list<QueuedRequest> secondary_ GUARDED_BY(lock_);  // reads
  RequestIndex primaryIndex_ GUARDED_BY(lock_);           // counts over primary_
  RequestIndex secondaryIndex_ GUARDED_BY(lock_);         // counts over secondary_
};

}  // namespace zl

#endif  // ZL_CORE_REQUESTQUEUES_H
