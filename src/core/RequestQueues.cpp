#include "core/RequestQueues.h"

#include <atomic>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>

#include "util/Encodings.h"
#include "util/Text.h"
#include "util/Texts.h"

namespace zl {

namespace {

constexpr std::size_t kMaxMergedDescriptors = 60;

std::atomic<uint64_t> nextSerial{1};

bool IsZeroDescriptor(const Str255 &data) {
  return data.size() >= 3 && data[0] == 0 && data[1] == 0 && data[2] == 0;
}

}  // namespace

// Holds the lock with busy at 1, for an operation that takes requests out of
// a queue or reorders it; its index is brought in step first.
class SCOPED_CAPABILITY RequestQueues::Busy {
 public:
  // The analysis cannot follow a lock taken by a member's constructor; the
  // annotation tells the callers what it holds.
  Busy(RequestQueues &owner, QueueId q) ACQUIRE(owner.lock_) NO_THREAD_SAFETY_ANALYSIS
      : owner_(owner),
        lock_(owner.lock_),
        list(owner.ListOf(q)),
        index(owner.IndexOf(q)) {
    owner_.busy_.store(1, std::memory_order_release);
    index.SyncWith(list);
  }
  ~Busy() RELEASE() NO_THREAD_SAFETY_ANALYSIS { owner_.busy_.store(0, std::memory_order_release); }
  Busy(const Busy &) = delete;
  Busy &operator=(const Busy &) = delete;

  // Unlinks and frees the request at it.
  void Remove(std::list<QueuedRequest>::iterator it) {
    index.Subtract(*it);
    list.erase(it);
  }

 private:
  RequestQueues &owner_;
  MutexLock lock_;

 public:
  std::list<QueuedRequest> &list;
  RequestIndex &index;
};

// The wait that precedes every append and pending-read test: a busy loop
// while another operation runs, ended early by the driver stopping.
void RequestQueues::WaitWhileBusy() const {
  while (busy_.load(std::memory_order_acquire) == 1 &&
         stopping_.load(std::memory_order_acquire) == 0) {
    std::this_thread::yield();
  }
}

bool RequestQueues::Enqueue(QueueId queue, uint8_t station, uint8_t kind, int16_t index,
                            std::string_view data, const MemoryBlock *definition) {
  const QueuedRequest request{station,    kind,
                              index,      Str255(data),
                              definition, nextSerial.fetch_add(1, std::memory_order_relaxed)};

  WaitWhileBusy();
  MutexLock lock(lock_);
  auto &list = ListOf(queue);
  auto &counts = IndexOf(queue);
  counts.SyncWith(list);
  if (list.size() >= 2) {
    // Equal requests strictly between head and tail: the last of them in
    // walk order would be one that is not the head, so the new one is a
    // duplicate.
    uint32_t between = counts.EqualCount(request);
    if (RequestIndex::Equal(list.front(), request)) --between;
    if (RequestIndex::Equal(list.back(), request)) --between;
    if (between > 0) return false;
  }
  list.push_back(request);
  counts.Add(list.back());
  return true;
}

void RequestQueues::RemoveHead(QueueId queue) {
  Busy q(*this, queue);
  if (!q.list.empty()) q.Remove(q.list.begin());
}

bool RequestQueues::RemoveHeadIf(QueueId queue, uint64_t serial) {
  Busy q(*this, queue);
  if (q.list.empty() || q.list.front().Serial != serial) return false;
  q.Remove(q.list.begin());
  return true;
}

void RequestQueues::Clear(QueueId queue) {
  Busy q(*this, queue);
  q.list.clear();
  q.index.Reset();
}

void RequestQueues::Rotate(QueueId queue) {
  Busy q(*this, queue);
  if (q.list.size() >= 2) q.list.splice(q.list.end(), q.list, q.list.begin());
}

bool RequestQueues::RotateIf(QueueId queue, uint64_t serial) {
  Busy q(*this, queue);
  if (q.list.empty() || q.list.front().Serial != serial) return false;
  if (q.list.size() >= 2) q.list.splice(q.list.end(), q.list, q.list.begin());
  return true;
}

void RequestQueues::CompressReads() {
  Busy q(*this, QueueId::Secondary);
  auto &list = q.list;
  if (list.empty()) return;
  auto cur = list.begin();
  for (;;) {
    while (cur->Kind != kReadQq && std::next(cur) != list.end()) ++cur;
    std::size_t n = cur->Data.size() / 3;
    const uint8_t station = cur->Station;
    // The run's first request leaves the index while it grows and comes back
    // once, with all its descriptors: counting it again after every merge
    // would cost the run's length each time.
    bool grown = false;
    while (n < kMaxMergedDescriptors) {
      auto next = std::next(cur);
      if (cur->Kind != kReadQq || next == list.end() || next->Station != station ||
          next->Kind != kReadQq || next->Data.size() != 3 || IsZeroDescriptor(cur->Data) ||
          IsZeroDescriptor(next->Data)) {
        break;
      }
      if (!grown) q.index.Subtract(*cur);
      grown = true;
      cur->Data += next->Data;  // cut at 255 bytes
      q.Remove(next);
      ++n;
    }
    if (grown) q.index.Add(*cur);
    if (std::next(cur) == list.end()) break;
    ++cur;
    if (std::next(cur) == list.end()) break;
  }
}

std::size_t RequestQueues::Count(QueueId queue) const {
  MutexLock lock(lock_);
  return ListOf(queue).size();
}

bool RequestQueues::CopyHead(QueueId queue, QueuedRequest &head) const {
  MutexLock lock(lock_);
  const auto &list = ListOf(queue);
  if (list.empty()) return false;
  head = list.front();
  return true;
}

const void *RequestQueues::HeadIdentity(QueueId queue) const {
  MutexLock lock(lock_);
  const auto &list = ListOf(queue);
  return list.empty() ? nullptr : &list.front();
}

bool RequestQueues::QqReadPending(uint8_t station, uint8_t a1, uint8_t a2, uint8_t a3) {
  WaitWhileBusy();
  MutexLock lock(lock_);
  secondaryIndex_.SyncWith(secondary_);
  return secondaryIndex_.DescriptorPending(station, DescriptorKey(a1, a2, a3));
}

Str255 RequestQueues::StatusText() const {
  std::size_t primaryCount, secondaryCount;
  {
    MutexLock lock(lock_);
    primaryCount = primary_.size();
    secondaryCount = secondary_.size();
  }
  Str255 text(Say(TextId::PrimaryQueueLabel));
  text += NumberText(static_cast<int64_t>(primaryCount), 10);
  text += '\r';
  text += Say(TextId::SecondaryQueueLabel);
  text += NumberText(static_cast<int64_t>(secondaryCount), 10);
  return text;
}

std::vector<QueuedRequest> RequestQueues::Snapshot(QueueId queue) const {
  MutexLock lock(lock_);
  const auto &list = ListOf(queue);
  return {list.begin(), list.end()};
}

RequestIndex RequestQueues::IndexSnapshot(QueueId queue) const {
  MutexLock lock(lock_);
  return queue == QueueId::Primary ? primaryIndex_ : secondaryIndex_;
}

}  // namespace zl
