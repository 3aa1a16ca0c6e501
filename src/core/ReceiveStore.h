// ReceiveStore: the messages received from the line and not yet decoded,
// oldest first, with the mutex that guards them.
//
// Where this mutex stands in the driver's lock order is written with the
// locks, in core/DriverInstance.h. Every operation takes this mutex itself and none may be called
// while it is held (it is private, so only these members can hold it).
//
// The communication thread alone stores and decodes; the host's thread
// empties the store when the driver starts and stops.
#ifndef ZL_CORE_RECEIVESTORE_H
#define ZL_CORE_RECEIVESTORE_H

#include <cstddef>
#include <deque>
#include <vector>

#include "core/QueuedRequest.h"
#include "util/ThreadSafety.h"

namespace zl {

class ReceiveStore {
 public:
  ReceiveStore() = default;
  ReceiveStore(const ReceiveStore &) = delete;
  ReceiveStore &operator=(const ReceiveStore &) = delete;

  // Appends a message as the newest.
  void Store(const ReceivedMessage &message) EXCLUDES(lock_) {
    MutexLock lock(lock_);
    messages_.push_back(message);
  }

  // A copy of the oldest message, left in the store; false when it is empty.
  // The decoder works on the copy and drops the message afterwards, so the
  // store is never held while a message is decoded.
  bool CopyOldest(ReceivedMessage &oldest) const EXCLUDES(lock_) {
    MutexLock lock(lock_);
    if (messages_.empty()) return false;
    oldest = messages_.front();
    return true;
  }

  // Drops the oldest message (nothing when the store is empty).
  void DropOldest() EXCLUDES(lock_) {
    MutexLock lock(lock_);
    if (!messages_.empty()) messages_.pop_front();
  }

  void Clear() EXCLUDES(lock_) {
    MutexLock lock(lock_);
    messages_.clear();
  }

  std::size_t Count() const EXCLUDES(lock_) {
    MutexLock lock(lock_);
    return messages_.size();
  }

  // For inspection (tests): a copy of the stored messages, oldest first.
  std::vector<ReceivedMessage> Snapshot() const EXCLUDES(lock_) {
    MutexLock lock(lock_);
    return {messages_.begin(), messages_.end()};
  }

 private:
  mutable Mutex lock_;
  std::deque<ReceivedMessage> messages_ GUARDED_BY(lock_);
};

}  // namespace zl

#endif  // ZL_CORE_RECEIVESTORE_H
