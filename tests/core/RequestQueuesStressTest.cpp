// The host's thread appends while the communication thread removes, rotates,
// merges and clears: every request must end up removed, cleared or still
// queued, exactly once.
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <unordered_map>
#include <vector>

#include <gtest/gtest.h>

#include "core/DriverInstance.h"
#include "core/RequestQueues.h"

namespace zl {
namespace {

constexpr uint32_t kNoEpoch = 0xFFFFFFFF;

// Request ids: a QQ read carries its id as its 3-byte descriptor, a QQ write
// as the first 3 bytes of its Data.
std::string IdBytes(uint32_t id) {
  return std::string{static_cast<char>(id >> 16), static_cast<char>(id >> 8),
                     static_cast<char>(id)};
}
uint32_t IdAt(const Str255 &data, std::size_t i) {
  return DescriptorKey(data[i], data[i + 1], data[i + 2]);
}

struct Ledger {
  // Per id: the clear epoch it was appended in (kNoEpoch when a clear may
  // have overlapped the append), how often it was seen leaving a queue, and
  // the epoch in which it left.
  std::vector<uint32_t> appendedIn;
  std::vector<int> seen;
  std::vector<uint32_t> leftIn;
};

TEST(RequestQueuesStress, EveryRequestIsAccountedFor) {
  DriverInstance di;
  constexpr uint32_t kMaxIds = 3000000;
  Ledger ledger;
  ledger.appendedIn.assign(kMaxIds + 1, kNoEpoch);
  ledger.seen.assign(kMaxIds + 1, 0);
  ledger.leftIn.assign(kMaxIds + 1, kNoEpoch);

  std::atomic<uint32_t> clears{0};
  std::atomic<bool> clearing{false};
  std::atomic<bool> stop{false};
  std::atomic<uint32_t> lastId{0};

  std::thread host([&] {
    for (uint32_t id = 1; id <= kMaxIds && !stop.load(); ++id) {
      while (di.Queues.Count(QueueId::Secondary) + di.Queues.Count(QueueId::Primary) > 3000 &&
             !stop.load()) {
        std::this_thread::yield();
      }
      const uint32_t e0 = clears.load();
      const bool busy0 = clearing.load();
      bool appended;
      if (id % 4 == 0) {
        appended =
            di.Queues.Enqueue(QueueId::Primary, 1, kWriteQq, 0, IdBytes(id) + "\x01\x02\x03\x04");
      } else {
        appended = di.Queues.Enqueue(QueueId::Secondary, static_cast<uint8_t>(1 + id % 3), kReadQq,
                                     0, IdBytes(id));
      }
      const bool busy1 = clearing.load();
      const uint32_t e1 = clears.load();
      ASSERT_TRUE(appended) << "id " << id << " is unique";
      if (!busy0 && !busy1 && e0 == e1) ledger.appendedIn[id] = e0;
      lastId.store(id);
    }
  });

  auto takeHead = [&](QueueId q, uint32_t epoch) {
    QueuedRequest head;
    // Only this thread removes or reorders, so the head it copies is the head
    // it removes.
    if (!di.Queues.CopyHead(q, head)) return;
    di.Queues.RemoveHead(q);
    const std::size_t step = head.Kind == kReadQq ? 3 : head.Data.size();
    for (std::size_t i = 0; i + 3 <= head.Data.size(); i += step) {
      const uint32_t id = IdAt(head.Data, i);
      ASSERT_LE(id, kMaxIds);
      ++ledger.seen[id];
      ledger.leftIn[id] = epoch;
    }
  };

  std::mt19937 rng(1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(2000);
  uint32_t epoch = 0;
  while (std::chrono::steady_clock::now() < deadline && lastId.load() < kMaxIds) {
    switch (rng() % 12) {
      case 0:
      case 1:
      case 2:
        takeHead(QueueId::Secondary, epoch);
        break;
      case 3:
        takeHead(QueueId::Primary, epoch);
        break;
      case 4:
      case 5:
        di.Queues.Rotate(QueueId::Secondary);
        break;
      case 6:
        di.Queues.Rotate(QueueId::Primary);
        break;
      case 7:
      case 8:
        di.Queues.CompressReads();
        break;
      case 9:
        (void)di.Queues.QqReadPending(1, 0, 0, static_cast<uint8_t>(rng()));
        (void)di.Queues.StatusText();
        break;
      default:
        if (rng() % 1000 == 0) {
          clearing.store(true);
          di.Queues.Clear(QueueId::Secondary);
          di.Queues.Clear(QueueId::Primary);
          epoch = clears.fetch_add(1) + 1;
          clearing.store(false);
        }
        break;
    }
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
  }
  stop.store(true);
  host.join();
  ASSERT_FALSE(::testing::Test::HasFatalFailure());

  // Drain what is left.
  const uint32_t finalEpoch = epoch + 1;
  while (di.Queues.Count(QueueId::Secondary) > 0) takeHead(QueueId::Secondary, finalEpoch);
  while (di.Queues.Count(QueueId::Primary) > 0) takeHead(QueueId::Primary, finalEpoch);

  const uint32_t appendedCount = lastId.load();
  uint32_t accounted = 0, cleared = 0;
  for (uint32_t id = 1; id <= appendedCount; ++id) {
    ASSERT_LE(ledger.seen[id], 1) << "id " << id << " left twice";
    const uint32_t in = ledger.appendedIn[id];
    if (ledger.seen[id] == 1) {
      ++accounted;
      // Removed or drained: no clear may have come between its append and then.
      if (in != kNoEpoch && ledger.leftIn[id] != finalEpoch) {
        ASSERT_EQ(ledger.leftIn[id], in) << "id " << id << " outlived a clear";
      }
      if (in != kNoEpoch && ledger.leftIn[id] == finalEpoch) {
        ASSERT_EQ(in, epoch) << "id " << id << " outlived a clear";
      }
    } else {
      // Gone without being seen: only a clear after its append explains it.
      ASSERT_TRUE(in == kNoEpoch || in < epoch) << "id " << id << " was lost";
      ++cleared;
    }
  }
  for (uint32_t id = appendedCount + 1; id <= kMaxIds; ++id) ASSERT_EQ(ledger.seen[id], 0);
  EXPECT_GT(accounted, 0u);
  EXPECT_EQ(di.Queues.BusyFlag(), 0);
  RecordProperty("appended", static_cast<int>(appendedCount));
  RecordProperty("cleared", static_cast<int>(cleared));
}

}  // namespace
}  // namespace zl
