#include "protocol/RequestQueues.h"

#include <atomic>
#include <chrono>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/Bytes.h"
#include "support/TestSupport.h"

namespace zl {
namespace {

using test::Cp;

std::string D(std::initializer_list<int> b) {
  return test::Bytes(b);
}

// The queue as "station/kind/index/data-length" items, head first.
std::vector<std::string> Shape(const std::list<QueuedRequest> &q) {
  std::vector<std::string> out;
  for (const QueuedRequest &r : q) {
    out.push_back(std::to_string(r.Station) + "/" + std::to_string(r.Kind) + "/" +
                  std::to_string(r.Index) + "/" + std::to_string(r.Data.size()));
  }
  return out;
}

class Queues : public ::testing::Test {
 protected:
  DriverInstance di;
  int QueueBusy() const { return di.QueueBusy.load(); }
  bool Read(uint8_t station, std::string data) {
    return Enqueue(di, QueueId::Secondary, station, kReadQq, 0, data);
  }
};

TEST_F(Queues, HeadAndTailAreNeverDuplicates) {
  // A one-request queue compares nothing; a two-request queue only its head.
  EXPECT_TRUE(Read(1, D({0, 16, 4})));
  EXPECT_TRUE(Read(1, D({0, 16, 4})));
  EXPECT_TRUE(Read(1, D({0, 16, 4})));
  // Three identical reads in a row: the middle one matches.
  EXPECT_FALSE(Read(1, D({0, 16, 4})));
  EXPECT_EQ(Count(di, QueueId::Secondary), 3u);
}

TEST_F(Queues, DuplicateRuleByPosition) {
  const uint8_t A = kReadBinaryInputs, B = kReadCounters, C = kReadAnalogInputs;
  struct Case {
    const char *name;
    std::vector<uint8_t> queued;
    bool appended;
  } cases[] = {
      {"equal to the head only", {A, B, C}, true},
      {"equal to the tail only", {B, C, A}, true},
      {"equal to head and tail", {A, B, A}, true},
      {"equal to a middle request", {B, A, C}, false},
      {"equal to head and middle", {A, A, C}, false},
  };
  for (const Case &c : cases) {
    Clear(di, QueueId::Secondary);
    for (uint8_t kind : c.queued) ASSERT_TRUE(Enqueue(di, QueueId::Secondary, 1, kind, 1));
    EXPECT_EQ(Enqueue(di, QueueId::Secondary, 1, A, 1), c.appended) << c.name;
  }
}

TEST_F(Queues, DataDecidesOnlyForQqRequests) {
  const std::string d1 = D({0, 16, 4, 1, 0, 0, 0}), d2 = D({0, 16, 4, 2, 0, 0, 0});
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Enqueue(di, QueueId::Primary, 1, kWriteQq, 0, d1));
  EXPECT_TRUE(Enqueue(di, QueueId::Primary, 1, kWriteQq, 0, d2)) << "kind 15, other Data";
  EXPECT_FALSE(Enqueue(di, QueueId::Primary, 1, kWriteQq, 0, d1)) << "kind 15, same Data";

  // Kind 18 carries Data too, but equal Station, Kind, Index and Definition
  // decide.
  MemoryBlock block, other;
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(Enqueue(di, QueueId::Secondary, 2, kWriteBlockItem, 1, "a", &block));
  EXPECT_FALSE(Enqueue(di, QueueId::Secondary, 2, kWriteBlockItem, 1, "b", &block));
  EXPECT_TRUE(Enqueue(di, QueueId::Secondary, 2, kWriteBlockItem, 1, "b", &other));
  EXPECT_TRUE(Enqueue(di, QueueId::Secondary, 3, kWriteBlockItem, 1, "b", &block));
  EXPECT_TRUE(Enqueue(di, QueueId::Secondary, 2, kWriteBlockItem, 2, "b", &block));
}

TEST_F(Queues, EnqueueStoresFieldsAndCutsData) {
  MemoryBlock block;
  Enqueue(di, QueueId::Primary, 7, kWriteBlockItem, -3, std::string(300, 'z'), &block);
  QueuedRequest head;
  ASSERT_TRUE(CopyHead(di, QueueId::Primary, head));
  EXPECT_EQ(head.Station, 7);
  EXPECT_EQ(head.Kind, kWriteBlockItem);
  EXPECT_EQ(head.Index, -3);
  EXPECT_EQ(head.Data.size(), 255u);
  EXPECT_EQ(head.Definition, &block);
  QueuedRequest none;
  EXPECT_FALSE(CopyHead(di, QueueId::Secondary, none));
  EXPECT_EQ(HeadIdentity(di, QueueId::Secondary), nullptr);
}

TEST_F(Queues, RotateMovesTheHeadToTheTail) {
  Rotate(di, QueueId::Primary);  // empty: nothing
  Enqueue(di, QueueId::Primary, 1, kWriteBinaryOutputs, 1);
  const void *only = HeadIdentity(di, QueueId::Primary);
  Rotate(di, QueueId::Primary);
  EXPECT_EQ(HeadIdentity(di, QueueId::Primary), only);
  EXPECT_EQ(Shape(di.PrimaryQueue), (std::vector<std::string>{"1/4/1/0"}));

  Enqueue(di, QueueId::Primary, 2, kWriteBinaryOutputs, 1);
  Enqueue(di, QueueId::Primary, 3, kWriteBinaryOutputs, 1);
  const void *start = HeadIdentity(di, QueueId::Primary);
  Rotate(di, QueueId::Primary);
  EXPECT_EQ(Shape(di.PrimaryQueue), (std::vector<std::string>{"2/4/1/0", "3/4/1/0", "1/4/1/0"}));
  Rotate(di, QueueId::Primary);
  Rotate(di, QueueId::Primary);
  EXPECT_EQ(HeadIdentity(di, QueueId::Primary), start) << "a full turn brings the head back";
  EXPECT_EQ(QueueBusy(), 0);
}

TEST_F(Queues, RemoveHeadAndClear) {
  RemoveHead(di, QueueId::Secondary);  // empty: nothing
  for (uint8_t s = 1; s <= 3; ++s) Enqueue(di, QueueId::Secondary, s, kReadBinaryInputs, 1);
  RemoveHead(di, QueueId::Secondary);
  EXPECT_EQ(Shape(di.SecondaryQueue), (std::vector<std::string>{"2/0/1/0", "3/0/1/0"}));
  Enqueue(di, QueueId::Primary, 1, kWriteBinaryOutputs, 1);
  Clear(di, QueueId::Secondary);
  EXPECT_EQ(Count(di, QueueId::Secondary), 0u);
  EXPECT_EQ(Count(di, QueueId::Primary), 1u);
  // A cleared queue takes requests again, duplicates counted from scratch.
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(Read(1, D({1, 2, 3})));
}

TEST_F(Queues, ConditionalRemovalActsOnlyOnTheCopiedEntry) {
  Enqueue(di, QueueId::Primary, 1, kWriteBinaryOutputs, 1);
  Enqueue(di, QueueId::Primary, 2, kWriteBinaryOutputs, 1);
  QueuedRequest chosen;
  ASSERT_TRUE(CopyHead(di, QueueId::Primary, chosen));
  // The host clears the queue and queues the same request again meanwhile.
  Clear(di, QueueId::Primary);
  Enqueue(di, QueueId::Primary, 1, kWriteBinaryOutputs, 1);
  Enqueue(di, QueueId::Primary, 2, kWriteBinaryOutputs, 1);
  EXPECT_FALSE(RemoveHeadIf(di, QueueId::Primary, chosen.Serial));
  EXPECT_FALSE(RotateIf(di, QueueId::Primary, chosen.Serial));
  EXPECT_EQ(Shape(di.PrimaryQueue), (std::vector<std::string>{"1/4/1/0", "2/4/1/0"}));

  ASSERT_TRUE(CopyHead(di, QueueId::Primary, chosen));
  EXPECT_TRUE(RotateIf(di, QueueId::Primary, chosen.Serial));
  EXPECT_EQ(Shape(di.PrimaryQueue), (std::vector<std::string>{"2/4/1/0", "1/4/1/0"}));
  ASSERT_TRUE(CopyHead(di, QueueId::Primary, chosen));
  EXPECT_TRUE(RemoveHeadIf(di, QueueId::Primary, chosen.Serial));
  EXPECT_EQ(Shape(di.PrimaryQueue), (std::vector<std::string>{"1/4/1/0"}));
  EXPECT_FALSE(RemoveHeadIf(di, QueueId::Secondary, chosen.Serial)) << "empty queue";
}

TEST_F(Queues, CompressReadsMergesRunsOfOneStation) {
  Read(1, D({0, 0, 1}));
  Read(1, D({0, 0, 2}));
  Read(2, D({0, 0, 3}));
  Read(2, D({0, 0, 4}));
  Read(2, D({0, 0, 5}));
  Read(1, D({0, 0, 6}));
  CompressReads(di);
  EXPECT_EQ(Shape(di.SecondaryQueue),
            (std::vector<std::string>{"1/16/0/6", "2/16/0/9", "1/16/0/3"}));
  EXPECT_EQ(di.SecondaryQueue.front().Data, D({0, 0, 1, 0, 0, 2}));
  EXPECT_EQ(QueueBusy(), 0);
}

TEST_F(Queues, CompressReadsStopsAtSixtyDescriptors) {
  for (int i = 1; i <= 65; ++i) Read(1, D({1, 0, i}));
  CompressReads(di);
  EXPECT_EQ(Shape(di.SecondaryQueue), (std::vector<std::string>{"1/16/0/180", "1/16/0/15"}));
  // A request already holding 59 descriptors takes one more.
  Clear(di, QueueId::Secondary);
  Read(1, std::string(177, '\x01'));
  Read(1, D({2, 0, 1}));
  Read(1, D({2, 0, 2}));
  CompressReads(di);
  EXPECT_EQ(Shape(di.SecondaryQueue), (std::vector<std::string>{"1/16/0/180", "1/16/0/3"}));
}

TEST_F(Queues, CompressReadsSkipsZeroDescriptorsLongSuccessorsAndOtherKinds) {
  Read(1, D({0, 0, 1}));
  Read(1, D({0, 0, 0}));  // cannot join, nor take others
  Read(1, D({0, 0, 2}));
  Read(1, D({0, 0, 3}));
  Enqueue(di, QueueId::Secondary, 1, kReadBinaryInputs, 1);
  Read(1, D({0, 0, 4}));
  Read(1, D({0, 0, 5, 0, 0, 6}));  // longer than one descriptor
  Read(1, D({0, 0, 7}));
  CompressReads(di);
  EXPECT_EQ(Shape(di.SecondaryQueue),
            (std::vector<std::string>{"1/16/0/3", "1/16/0/3", "1/16/0/6", "1/0/1/0", "1/16/0/3",
                                      "1/16/0/9"}));
  CompressReads(di);  // nothing more to merge
  EXPECT_EQ(Count(di, QueueId::Secondary), 6u);
  Clear(di, QueueId::Secondary);
  CompressReads(di);  // empty: nothing
}

TEST_F(Queues, PendingReadsAreFoundInsideMergedRequestsOfAnyStation) {
  Read(1, D({0, 16, 4}));
  Read(1, D({0, 16, 5}));
  Read(1, D({0, 16, 6}));
  CompressReads(di);
  ASSERT_EQ(Count(di, QueueId::Secondary), 1u);
  EXPECT_TRUE(QqReadPending(di, 0, 16, 5)) << "descriptor at bytes 4..6";
  EXPECT_TRUE(QqReadPending(di, 0, 16, 6));
  EXPECT_FALSE(QqReadPending(di, 16, 5, 0)) << "descriptors start every third byte";
  EXPECT_FALSE(QqReadPending(di, 0, 16, 7));
  // Not kind 16: not a pending read.
  Enqueue(di, QueueId::Secondary, 2, kReadBinaryInputs, 1, D({9, 9, 9}));
  EXPECT_FALSE(QqReadPending(di, 9, 9, 9));
  RemoveHead(di, QueueId::Secondary);
  EXPECT_FALSE(QqReadPending(di, 0, 16, 5));
}

TEST_F(Queues, ListsChangedDirectlyAreNoticed) {
  Read(1, D({1, 1, 1}));
  di.SecondaryQueue.clear();  // behind the operations' back
  EXPECT_FALSE(QqReadPending(di, 1, 1, 1));
  EXPECT_TRUE(Read(1, D({1, 1, 1})));
}

TEST_F(Queues, StatusTextCountsBothQueues) {
  EXPECT_EQ(QueueStatusText(di).str(), Cp("Primární fronta (pro zápis)  : ") + "0\r" +
                                           Cp("Sekundární fronta (pro čtení) : ") + "0");
  Enqueue(di, QueueId::Primary, 1, kWriteBinaryOutputs, 1);
  for (int i = 0; i < 12; ++i) Read(1, D({0, 0, i}));
  EXPECT_EQ(QueueStatusText(di).str(), Cp("Primární fronta (pro zápis)  : ") + "1\r" +
                                           Cp("Sekundární fronta (pro čtení) : ") + "12");
}

TEST_F(Queues, EnqueueWaitsWhileAnotherOperationRunsUnlessStopping) {
  di.QueueBusy.store(1);
  std::atomic<bool> done{false};
  std::thread appender([&] {
    Read(1, D({1, 2, 3}));
    done.store(true);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(done.load());
  di.OnDone.store(1);  // Done must not hang on the wait
  appender.join();
  EXPECT_EQ(Count(di, QueueId::Secondary), 1u);
  di.QueueBusy.store(0);
}

// The literal rules, walked over the list, against the indexed operations.
bool LiteralEqual(const QueuedRequest &a, const QueuedRequest &b) {
  return a.Station == b.Station && a.Kind == b.Kind && a.Index == b.Index &&
         a.Definition == b.Definition &&
         ((a.Kind != 15 && a.Kind != 16) || a.Data.view() == b.Data.view());
}

bool LiteralWouldAppend(const std::list<QueuedRequest> &q, const QueuedRequest &r) {
  if (q.empty()) return true;
  const QueuedRequest *remembered = nullptr;
  for (auto it = q.begin(); std::next(it) != q.end(); ++it) {
    if (LiteralEqual(*it, r)) remembered = &*it;
  }
  return remembered == nullptr || remembered == &q.front();
}

bool LiteralPending(const std::list<QueuedRequest> &q, uint8_t a1, uint8_t a2, uint8_t a3) {
  for (const QueuedRequest &r : q) {
    if (r.Kind != 16) continue;
    for (std::size_t i = 0; i + 3 <= r.Data.size(); i += 3) {
      if (r.Data[i] == a1 && r.Data[i + 1] == a2 && r.Data[i + 2] == a3) return true;
    }
  }
  return false;
}

TEST_F(Queues, IndexedRulesMatchTheLiteralWalk) {
  std::mt19937 rng(42);
  MemoryBlock blocks[2];
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const uint8_t kinds[] = {kReadBinaryInputs, kWriteQq, kReadQq, kReadQq, kReadMemoryBlock};
  for (int step = 0; step < 40000; ++step) {
    const QueueId qid = pick(3) == 0 ? QueueId::Primary : QueueId::Secondary;
    auto &list = qid == QueueId::Primary ? di.PrimaryQueue : di.SecondaryQueue;
    const int op = pick(100);
    if (op < 60) {
      QueuedRequest r;
      r.Station = static_cast<uint8_t>(1 + pick(2));
      r.Kind = kinds[pick(5)];
      r.Index = static_cast<int16_t>(pick(2));
      r.Data = D({pick(2), 0, pick(3)});
      if (pick(4) == 0) r.Data += D({pick(2), 0, pick(3)});
      r.Definition = pick(3) == 0 ? &blocks[pick(2)] : nullptr;
      const bool expected = LiteralWouldAppend(list, r);
      const std::size_t before = list.size();
      ASSERT_EQ(
          Enqueue(di, qid, r.Station, static_cast<uint8_t>(r.Kind), r.Index, r.Data, r.Definition),
          expected)
          << "step " << step;
      ASSERT_EQ(list.size(), before + (expected ? 1 : 0));
    } else if (op < 72) {
      RemoveHead(di, qid);
    } else if (op < 84) {
      Rotate(di, qid);
    } else if (op < 96) {
      CompressReads(di);
    } else if (op < 97) {
      Clear(di, qid);
    } else {
      const auto a1 = static_cast<uint8_t>(pick(2)), a3 = static_cast<uint8_t>(pick(3));
      ASSERT_EQ(QqReadPending(di, a1, 0, a3), LiteralPending(di.SecondaryQueue, a1, 0, a3))
          << "step " << step;
    }
  }
}

}  // namespace
}  // namespace zl
