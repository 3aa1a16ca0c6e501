#include "protocol/RequestQueues.h"

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

std::list<QueuedRequest> &ListOf(DriverInstance &di, QueueId q) {
  return q == QueueId::Primary ? di.PrimaryQueue : di.SecondaryQueue;
}
const std::list<QueuedRequest> &ListOf(const DriverInstance &di, QueueId q) {
  return q == QueueId::Primary ? di.PrimaryQueue : di.SecondaryQueue;
}
RequestIndex &IndexOf(DriverInstance &di, QueueId q) {
  return q == QueueId::Primary ? di.PrimaryIndex : di.SecondaryIndex;
}

// The wait that precedes every append and pending-read test: a busy loop while
// another operation runs, ended early by Done.
void WaitWhileQueueBusy(const DriverInstance &di) {
  while (di.QueueBusy.load(std::memory_order_acquire) == 1 &&
         di.OnDone.load(std::memory_order_acquire) == 0) {
    std::this_thread::yield();
  }
}

// Holds QueueLock with QueueBusy at 1, for an operation that takes requests
// out of a queue or reorders it; its index is brought in step first.
struct BusyQueue {
  BusyQueue(DriverInstance &d, QueueId q)
      : di(d), lock(d.QueueLock), list(ListOf(d, q)), index(IndexOf(d, q)) {
    di.QueueBusy.store(1, std::memory_order_release);
    index.SyncWith(list);
  }
  ~BusyQueue() { di.QueueBusy.store(0, std::memory_order_release); }
  BusyQueue(const BusyQueue &) = delete;
  BusyQueue &operator=(const BusyQueue &) = delete;

  // Unlinks and frees the request at it.
  void Remove(std::list<QueuedRequest>::iterator it) {
    index.Subtract(*it);
    list.erase(it);
  }

  DriverInstance &di;
  std::lock_guard<std::mutex> lock;
  std::list<QueuedRequest> &list;
  RequestIndex &index;
};

std::atomic<uint64_t> nextSerial{1};

bool IsZeroDescriptor(const Str255 &data) {
  return data.size() >= 3 && data[0] == 0 && data[1] == 0 && data[2] == 0;
}

}  // namespace

bool Enqueue(DriverInstance &di, QueueId queue, uint8_t station, uint8_t kind, int16_t index,
             std::string_view data, const MemoryBlock *definition) {
  const QueuedRequest request{station,    kind,
                              index,      Str255(data),
                              definition, nextSerial.fetch_add(1, std::memory_order_relaxed)};

  WaitWhileQueueBusy(di);
  std::lock_guard<std::mutex> lock(di.QueueLock);
  auto &list = ListOf(di, queue);
  auto &counts = IndexOf(di, queue);
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

void RemoveHead(DriverInstance &di, QueueId queue) {
  BusyQueue q(di, queue);
  if (!q.list.empty()) q.Remove(q.list.begin());
}

bool RemoveHeadIf(DriverInstance &di, QueueId queue, uint64_t serial) {
  BusyQueue q(di, queue);
  if (q.list.empty() || q.list.front().Serial != serial) return false;
  q.Remove(q.list.begin());
  return true;
}

void Clear(DriverInstance &di, QueueId queue) {
  BusyQueue q(di, queue);
  q.list.clear();
  q.index.Reset();
}

void Rotate(DriverInstance &di, QueueId queue) {
  BusyQueue q(di, queue);
  if (q.list.size() >= 2) q.list.splice(q.list.end(), q.list, q.list.begin());
}

bool RotateIf(DriverInstance &di, QueueId queue, uint64_t serial) {
  BusyQueue q(di, queue);
  if (q.list.empty() || q.list.front().Serial != serial) return false;
  if (q.list.size() >= 2) q.list.splice(q.list.end(), q.list, q.list.begin());
  return true;
}

void CompressReads(DriverInstance &di) {
  BusyQueue q(di, QueueId::Secondary);
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

std::size_t Count(const DriverInstance &di, QueueId queue) {
  std::lock_guard<std::mutex> lock(di.QueueLock);
  return ListOf(di, queue).size();
}

bool CopyHead(const DriverInstance &di, QueueId queue, QueuedRequest &head) {
  std::lock_guard<std::mutex> lock(di.QueueLock);
  const auto &list = ListOf(di, queue);
  if (list.empty()) return false;
  head = list.front();
  return true;
}

const void *HeadIdentity(const DriverInstance &di, QueueId queue) {
  std::lock_guard<std::mutex> lock(di.QueueLock);
  const auto &list = ListOf(di, queue);
  return list.empty() ? nullptr : &list.front();
}

bool QqReadPending(DriverInstance &di, uint8_t a1, uint8_t a2, uint8_t a3) {
  WaitWhileQueueBusy(di);
  std::lock_guard<std::mutex> lock(di.QueueLock);
  di.SecondaryIndex.SyncWith(di.SecondaryQueue);
  return di.SecondaryIndex.DescriptorPending(DescriptorKey(a1, a2, a3));
}

Str255 QueueStatusText(const DriverInstance &di) {
  std::size_t primaryCount, secondaryCount;
  {
    std::lock_guard<std::mutex> lock(di.QueueLock);
    primaryCount = di.PrimaryQueue.size();
    secondaryCount = di.SecondaryQueue.size();
  }
  Str255 text(Say(TextId::PrimaryQueueLabel));
  text += NumberText(static_cast<int64_t>(primaryCount), 10);
  text += '\r';
  text += Say(TextId::SecondaryQueueLabel);
  text += NumberText(static_cast<int64_t>(secondaryCount), 10);
  return text;
}

}  // namespace zl
