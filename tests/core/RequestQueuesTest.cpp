#include "core/DriverInstance.h"
#include "core/RequestQueues.h"

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
std::vector<std::string> Shape(const std::vector<QueuedRequest> &q) {
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
  int QueueBusy() const { return di.Queues.BusyFlag(); }
  bool Read(uint8_t station, std::string data) {
    return di.Queues.Enqueue(QueueId::Secondary, station, kReadQq, 0, data);
  }
};

TEST_F(Queues, HeadAndTailAreNeverDuplicates) {
  // A one-request queue compares nothing; a two-request queue only its head.
  EXPECT_TRUE(Read(1, D({0, 16, 4})));
  EXPECT_TRUE(Read(1, D({0, 16, 4})));
  EXPECT_TRUE(Read(1, D({0, 16, 4})));
  // Three identical reads in a row: the middle one matches.
  EXPECT_FALSE(Read(1, D({0, 16, 4})));
  EXPECT_EQ(di.Queues.Count(QueueId::Secondary), 3u);
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
    di.Queues.Clear(QueueId::Secondary);
    for (uint8_t kind : c.queued) ASSERT_TRUE(di.Queues.Enqueue(QueueId::Secondary, 1, kind, 1));
    EXPECT_EQ(di.Queues.Enqueue(QueueId::Secondary, 1, A, 1), c.appended) << c.name;
  }
}

TEST_F(Queues, DataDecidesOnlyForQqRequests) {
  const std::string d1 = D({0, 16, 4, 1, 0, 0, 0}), d2 = D({0, 16, 4, 2, 0, 0, 0});
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(di.Queues.Enqueue(QueueId::Primary, 1, kWriteQq, 0, d1));
  EXPECT_TRUE(di.Queues.Enqueue(QueueId::Primary, 1, kWriteQq, 0, d2)) << "kind 15, other Data";
  EXPECT_FALSE(di.Queues.Enqueue(QueueId::Primary, 1, kWriteQq, 0, d1)) << "kind 15, same Data";

  // Kind 18 carries Data too, but equal Station, Kind, Index and Definition
  // decide.
  MemoryBlock block, other;
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(di.Queues.Enqueue(QueueId::Secondary, 2, kWriteBlockItem, 1, "a", &block));
  EXPECT_FALSE(di.Queues.Enqueue(QueueId::Secondary, 2, kWriteBlockItem, 1, "b", &block));
  EXPECT_TRUE(di.Queues.Enqueue(QueueId::Secondary, 2, kWriteBlockItem, 1, "b", &other));
  EXPECT_TRUE(di.Queues.Enqueue(QueueId::Secondary, 3, kWriteBlockItem, 1, "b", &block));
  EXPECT_TRUE(di.Queues.Enqueue(QueueId::Secondary, 2, kWriteBlockItem, 2, "b", &block));
}

TEST_F(Queues, EnqueueStoresFieldsAndCutsData) {
  MemoryBlock block;
  di.Queues.Enqueue(QueueId::Primary, 7, kWriteBlockItem, -3, std::string(300, 'z'), &block);
  QueuedRequest head;
  ASSERT_TRUE(di.Queues.CopyHead(QueueId::Primary, head));
  EXPECT_EQ(head.Station, 7);
  EXPECT_EQ(head.Kind, kWriteBlockItem);
  EXPECT_EQ(head.Index, -3);
  EXPECT_EQ(head.Data.size(), 255u);
  EXPECT_EQ(head.Definition, &block);
  QueuedRequest none;
  EXPECT_FALSE(di.Queues.CopyHead(QueueId::Secondary, none));
  EXPECT_EQ(di.Queues.HeadIdentity(QueueId::Secondary), nullptr);
}

TEST_F(Queues, RotateMovesTheHeadToTheTail) {
  di.Queues.Rotate(QueueId::Primary);  // empty: nothing
  di.Queues.Enqueue(QueueId::Primary, 1, kWriteBinaryOutputs, 1);
  const void *only = di.Queues.HeadIdentity(QueueId::Primary);
  di.Queues.Rotate(QueueId::Primary);
  EXPECT_EQ(di.Queues.HeadIdentity(QueueId::Primary), only);
  EXPECT_EQ(Shape(di.Queues.Snapshot(QueueId::Primary)), (std::vector<std::string>{"1/4/1/0"}));

  di.Queues.Enqueue(QueueId::Primary, 2, kWriteBinaryOutputs, 1);
  di.Queues.Enqueue(QueueId::Primary, 3, kWriteBinaryOutputs, 1);
  const void *start = di.Queues.HeadIdentity(QueueId::Primary);
  di.Queues.Rotate(QueueId::Primary);
  EXPECT_EQ(Shape(di.Queues.Snapshot(QueueId::Primary)),
            (std::vector<std::string>{"2/4/1/0", "3/4/1/0", "1/4/1/0"}));
  di.Queues.Rotate(QueueId::Primary);
  di.Queues.Rotate(QueueId::Primary);
  EXPECT_EQ(di.Queues.HeadIdentity(QueueId::Primary), start) << "a full turn brings the head back";
  EXPECT_EQ(QueueBusy(), 0);
}

TEST_F(Queues, RemoveHeadAndClear) {
  di.Queues.RemoveHead(QueueId::Secondary);  // empty: nothing
  for (uint8_t s = 1; s <= 3; ++s) di.Queues.Enqueue(QueueId::Secondary, s, kReadBinaryInputs, 1);
  di.Queues.RemoveHead(QueueId::Secondary);
  EXPECT_EQ(Shape(di.Queues.Snapshot(QueueId::Secondary)),
            (std::vector<std::string>{"2/0/1/0", "3/0/1/0"}));
  di.Queues.Enqueue(QueueId::Primary, 1, kWriteBinaryOutputs, 1);
  di.Queues.Clear(QueueId::Secondary);
  EXPECT_EQ(di.Queues.Count(QueueId::Secondary), 0u);
  EXPECT_EQ(di.Queues.Count(QueueId::Primary), 1u);
  // A cleared queue takes requests again, duplicates counted from scratch.
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(Read(1, D({1, 2, 3})));
}

TEST_F(Queues, ConditionalRemovalActsOnlyOnTheCopiedEntry) {
  di.Queues.Enqueue(QueueId::Primary, 1, kWriteBinaryOutputs, 1);
  di.Queues.Enqueue(QueueId::Primary, 2, kWriteBinaryOutputs, 1);
  QueuedRequest chosen;
  ASSERT_TRUE(di.Queues.CopyHead(QueueId::Primary, chosen));
  // The host clears the queue and queues the same request again meanwhile.
  di.Queues.Clear(QueueId::Primary);
  di.Queues.Enqueue(QueueId::Primary, 1, kWriteBinaryOutputs, 1);
  di.Queues.Enqueue(QueueId::Primary, 2, kWriteBinaryOutputs, 1);
  EXPECT_FALSE(di.Queues.RemoveHeadIf(QueueId::Primary, chosen.Serial));
  EXPECT_FALSE(di.Queues.RotateIf(QueueId::Primary, chosen.Serial));
  EXPECT_EQ(Shape(di.Queues.Snapshot(QueueId::Primary)),
            (std::vector<std::string>{"1/4/1/0", "2/4/1/0"}));

  ASSERT_TRUE(di.Queues.CopyHead(QueueId::Primary, chosen));
  EXPECT_TRUE(di.Queues.RotateIf(QueueId::Primary, chosen.Serial));
  EXPECT_EQ(Shape(di.Queues.Snapshot(QueueId::Primary)),
            (std::vector<std::string>{"2/4/1/0", "1/4/1/0"}));
  ASSERT_TRUE(di.Queues.CopyHead(QueueId::Primary, chosen));
  EXPECT_TRUE(di.Queues.RemoveHeadIf(QueueId::Primary, chosen.Serial));
  EXPECT_EQ(Shape(di.Queues.Snapshot(QueueId::Primary)), (std::vector<std::string>{"1/4/1/0"}));
  EXPECT_FALSE(di.Queues.RemoveHeadIf(QueueId::Secondary, chosen.Serial)) << "empty queue";
}

TEST_F(Queues, CompressReadsMergesRunsOfOneStation) {
  Read(1, D({0, 0, 1}));
  Read(1, D({0, 0, 2}));
  Read(2, D({0, 0, 3}));
  Read(2, D({0, 0, 4}));
  Read(2, D({0, 0, 5}));
  Read(1, D({0, 0, 6}));
  di.Queues.CompressReads();
  EXPECT_EQ(Shape(di.Queues.Snapshot(QueueId::Secondary)),
            (std::vector<std::string>{"1/16/0/6", "2/16/0/9", "1/16/0/3"}));
  EXPECT_EQ(di.Queues.Snapshot(QueueId::Secondary).front().Data, D({0, 0, 1, 0, 0, 2}));
  EXPECT_EQ(QueueBusy(), 0);
}

TEST_F(Queues, CompressReadsStopsAtSixtyDescriptors) {
  for (int i = 1; i <= 65; ++i) Read(1, D({1, 0, i}));
  di.Queues.CompressReads();
  EXPECT_EQ(Shape(di.Queues.Snapshot(QueueId::Secondary)),
            (std::vector<std::string>{"1/16/0/180", "1/16/0/15"}));
  // A request already holding 59 descriptors takes one more.
  di.Queues.Clear(QueueId::Secondary);
  Read(1, std::string(177, '\x01'));
  Read(1, D({2, 0, 1}));
  Read(1, D({2, 0, 2}));
  di.Queues.CompressReads();
  EXPECT_EQ(Shape(di.Queues.Snapshot(QueueId::Secondary)),
            (std::vector<std::string>{"1/16/0/180", "1/16/0/3"}));
}

TEST_F(Queues, CompressReadsSkipsZeroDescriptorsLongSuccessorsAndOtherKinds) {
  Read(1, D({0, 0, 1}));
  Read(1, D({0, 0, 0}));  // cannot join, nor take others
  Read(1, D({0, 0, 2}));
  Read(1, D({0, 0, 3}));
  di.Queues.Enqueue(QueueId::Secondary, 1, kReadBinaryInputs, 1);
  Read(1, D({0, 0, 4}));
  Read(1, D({0, 0, 5, 0, 0, 6}));  // longer than one descriptor
  Read(1, D({0, 0, 7}));
  di.Queues.CompressReads();
  EXPECT_EQ(Shape(di.Queues.Snapshot(QueueId::Secondary)),
            (std::vector<std::string>{"1/16/0/3", "1/16/0/3", "1/16/0/6", "1/0/1/0", "1/16/0/3",
                                      "1/16/0/9"}));
  di.Queues.CompressReads();  // nothing more to merge
  EXPECT_EQ(di.Queues.Count(QueueId::Secondary), 6u);
  di.Queues.Clear(QueueId::Secondary);
  di.Queues.CompressReads();  // empty: nothing
}

TEST_F(Queues, PendingReadsAreFoundInsideMergedRequestsOfTheirStation) {
  Read(1, D({0, 16, 4}));
  Read(1, D({0, 16, 5}));
  Read(1, D({0, 16, 6}));
  di.Queues.CompressReads();
  ASSERT_EQ(di.Queues.Count(QueueId::Secondary), 1u);
  EXPECT_TRUE(di.Queues.QqReadPending(1, 0, 16, 5)) << "descriptor at bytes 4..6";
  EXPECT_TRUE(di.Queues.QqReadPending(1, 0, 16, 6));
  EXPECT_FALSE(di.Queues.QqReadPending(2, 0, 16, 5)) << "another station's read";
  EXPECT_FALSE(di.Queues.QqReadPending(1, 16, 5, 0)) << "descriptors start every third byte";
  EXPECT_FALSE(di.Queues.QqReadPending(1, 0, 16, 7));
  // Not kind 16: not a pending read.
  di.Queues.Enqueue(QueueId::Secondary, 2, kReadBinaryInputs, 1, D({9, 9, 9}));
  EXPECT_FALSE(di.Queues.QqReadPending(2, 9, 9, 9));
  di.Queues.RemoveHead(QueueId::Secondary);
  EXPECT_FALSE(di.Queues.QqReadPending(1, 0, 16, 5));
}

// The queues keep their lists private now; the index still rebuilds itself
// from a list whose size no longer matches what it counted.
TEST(RequestIndexSync, AListChangedBehindItsBackIsNoticed) {
  const QueuedRequest read{1, kReadQq, 0, Str255(D({1, 1, 1})), nullptr, 1};
  std::list<QueuedRequest> list{read};
  RequestIndex index;
  index.SyncWith(list);
  ASSERT_TRUE(index.DescriptorPending(1, DescriptorKey(1, 1, 1)));
  list.clear();
  index.SyncWith(list);
  EXPECT_FALSE(index.DescriptorPending(1, DescriptorKey(1, 1, 1)));
  EXPECT_EQ(index.EqualCount(read), 0u);
}

TEST_F(Queues, StatusTextCountsBothQueues) {
  EXPECT_EQ(di.Queues.StatusText().str(), Cp("Primární fronta (pro zápis)  : ") + "0\r" +
                                              Cp("Sekundární fronta (pro čtení) : ") + "0");
  di.Queues.Enqueue(QueueId::Primary, 1, kWriteBinaryOutputs, 1);
  for (int i = 0; i < 12; ++i) Read(1, D({0, 0, i}));
  EXPECT_EQ(di.Queues.StatusText().str(), Cp("Primární fronta (pro zápis)  : ") + "1\r" +
                                              Cp("Sekundární fronta (pro čtení) : ") + "12");
}

TEST_F(Queues, EnqueueWaitsWhileAnotherOperationRunsUnlessStopping) {
  di.Queues.HoldBusyFlag(true);
  std::atomic<bool> done{false};
  std::thread appender([&] {
    Read(1, D({1, 2, 3}));
    done.store(true);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(done.load());
  di.OnDone.store(1);  // Done must not hang on the wait
  appender.join();
  EXPECT_EQ(di.Queues.Count(QueueId::Secondary), 1u);
  di.Queues.HoldBusyFlag(false);
}

// The literal rules, walked over the list, against the indexed operations.
bool LiteralEqual(const QueuedRequest &a, const QueuedRequest &b) {
  return a.Station == b.Station && a.Kind == b.Kind && a.Index == b.Index &&
         a.Definition == b.Definition &&
         ((a.Kind != 15 && a.Kind != 16) || a.Data.view() == b.Data.view());
}

bool LiteralWouldAppend(const std::vector<QueuedRequest> &q, const QueuedRequest &r) {
  if (q.empty()) return true;
  const QueuedRequest *remembered = nullptr;
  for (auto it = q.begin(); std::next(it) != q.end(); ++it) {
    if (LiteralEqual(*it, r)) remembered = &*it;
  }
  return remembered == nullptr || remembered == &q.front();
}

bool LiteralPending(const std::vector<QueuedRequest> &q, uint8_t station, uint8_t a1, uint8_t a2,
                    uint8_t a3) {
  for (const QueuedRequest &r : q) {
    if (r.Kind != 16 || r.Station != station) continue;
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
    const int op = pick(100);
    if (op < 60) {
      QueuedRequest r;
      r.Station = static_cast<uint8_t>(1 + pick(2));
      r.Kind = kinds[pick(5)];
      r.Index = static_cast<int16_t>(pick(2));
      r.Data = D({pick(2), 0, pick(3)});
      if (pick(4) == 0) r.Data += D({pick(2), 0, pick(3)});
      r.Definition = pick(3) == 0 ? &blocks[pick(2)] : nullptr;
      const std::vector<QueuedRequest> list = di.Queues.Snapshot(qid);
      const bool expected = LiteralWouldAppend(list, r);
      const std::size_t before = list.size();
      ASSERT_EQ(di.Queues.Enqueue(qid, r.Station, static_cast<uint8_t>(r.Kind), r.Index, r.Data,
                                  r.Definition),
                expected)
          << "step " << step;
      ASSERT_EQ(di.Queues.Count(qid), before + (expected ? 1 : 0));
    } else if (op < 72) {
      di.Queues.RemoveHead(qid);
    } else if (op < 84) {
      di.Queues.Rotate(qid);
    } else if (op < 96) {
      di.Queues.CompressReads();
    } else if (op < 97) {
      di.Queues.Clear(qid);
    } else {
      const auto a1 = static_cast<uint8_t>(pick(2)), a3 = static_cast<uint8_t>(pick(3));
      const auto station = static_cast<uint8_t>(1 + pick(3));
      ASSERT_EQ(di.Queues.QqReadPending(station, a1, 0, a3),
                LiteralPending(di.Queues.Snapshot(QueueId::Secondary), station, a1, 0, a3))
          << "step " << step;
    }
  }
}

}  // namespace
}  // namespace zl
