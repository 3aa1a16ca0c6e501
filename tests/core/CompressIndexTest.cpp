// CompressReads keeps the queue's index of equal requests and pending QQ
// descriptors in step while it merges, without recounting the growing
// request after every merge. Whatever it merges, the index must afterwards
// say exactly what a walk of the queue says.
#include <gtest/gtest.h>

#include <list>
#include <string>

#include "core/DriverInstance.h"
#include "core/RequestIndex.h"
#include "core/RequestQueues.h"
#include "support/ConfigFixture.h"

namespace zl::test {
namespace {

std::string Descriptor(int a1, int a2, int a3) {
  return {static_cast<char>(a1), static_cast<char>(a2), static_cast<char>(a3)};
}

// The index against the list it covers, request by request and descriptor by
// descriptor.
void ExpectIndexMatchesQueue(DriverInstance &di) {
  const std::vector<QueuedRequest> list = di.Queues.Snapshot(QueueId::Secondary);
  const RequestIndex index = di.Queues.IndexSnapshot(QueueId::Secondary);
  ASSERT_EQ(index.Size(), list.size());
  for (const QueuedRequest &r : list) {
    uint32_t equal = 0;
    for (const QueuedRequest &o : list) equal += RequestIndex::Equal(r, o) ? 1 : 0;
    EXPECT_EQ(index.EqualCount(r), equal) << "station " << int(r.Station) << " kind " << r.Kind;
  }
  for (uint8_t station = 1; station <= 5; ++station) {
    for (int a1 = 0; a1 < 2; ++a1) {
      for (int a2 = 0; a2 < 6; ++a2) {
        for (int a3 = 0; a3 < 80; ++a3) {
          bool inQueue = false;
          for (const QueuedRequest &r : list) {
            if (r.Kind != kReadQq || r.Station != station) continue;
            for (std::size_t i = 0; i + 3 <= r.Data.size(); i += 3) {
              inQueue |= r.Data[i] == a1 && r.Data[i + 1] == a2 && r.Data[i + 2] == a3;
            }
          }
          EXPECT_EQ(index.DescriptorPending(station, DescriptorKey(a1, a2, a3)), inQueue)
              << int(station) << ": " << a1 << "." << a2 << "." << a3;
        }
      }
    }
  }
}

TEST(CompressIndex, TheIndexSaysWhatTheMergedQueueHolds) {
  DriverInstance di;
  // Runs of single reads of several stations, broken by other kinds, by a
  // read of two descriptors, by zero descriptors and by runs longer than 60.
  for (int station = 1; station <= 5; ++station) {
    for (int v = 0; v < 75; ++v) {
      di.Queues.Enqueue(QueueId::Secondary, static_cast<uint8_t>(station), kReadQq, 0,
                        Descriptor(v % 2, station, v));
      if (v == 20)
        di.Queues.Enqueue(QueueId::Secondary, static_cast<uint8_t>(station), kReadCounters, 0);
      if (v == 30) {
        di.Queues.Enqueue(QueueId::Secondary, static_cast<uint8_t>(station), kReadQq, 0,
                          Descriptor(0, 0, 0));
      }
      if (v == 40) {
        di.Queues.Enqueue(QueueId::Secondary, static_cast<uint8_t>(station), kReadQq, 0,
                          Descriptor(1, station, 77) + Descriptor(1, station, 78));
      }
    }
  }
  const std::size_t before = di.Queues.Count(QueueId::Secondary);
  di.Queues.CompressReads();
  ASSERT_LT(di.Queues.Count(QueueId::Secondary), before);
  ExpectIndexMatchesQueue(di);

  // The queue goes on working from that index: a read still pending is
  // refused, one of a removed head is taken again.
  QueuedRequest head;
  ASSERT_TRUE(di.Queues.CopyHead(QueueId::Secondary, head));
  EXPECT_TRUE(di.Queues.QqReadPending(1, 0, 1, 2));
  di.Queues.RemoveHead(QueueId::Secondary);
  EXPECT_FALSE(di.Queues.QqReadPending(1, 0, 1, 2));
  ExpectIndexMatchesQueue(di);
  di.Queues.CompressReads();  // a second pass over merged requests changes nothing
  ExpectIndexMatchesQueue(di);
}

}  // namespace
}  // namespace zl::test
