// The heap figure of diagnostic channel 496 is taken at most every 100 ms, so
// that a host reading it in every scan does not walk the allocator each time.
// It must still follow the heap: a large allocation shows within a while.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "exchange/InputPath.h"
#include "support/Timing.h"

namespace zl {
namespace {

TEST(HeapFigure, FollowsALargeAllocationAndItsRelease) {
  constexpr std::size_t kBlock = 32 << 20;
  const int32_t before = HeapBytesInUse();
  if (before == 0) GTEST_SKIP() << "no heap figure on this platform";
  char *block = static_cast<char *>(std::malloc(kBlock));
  ASSERT_NE(block, nullptr);
  std::memset(block, 1, kBlock);
  EXPECT_TRUE(test::WaitUntil([&] { return HeapBytesInUse() >= before + int32_t{kBlock / 2}; }));
  std::free(block);
  EXPECT_TRUE(test::WaitUntil([&] { return HeapBytesInUse() < before + int32_t{kBlock / 2}; }));
}

}  // namespace
}  // namespace zl
