// Sample memory: the host's sample buffer, the transfer's block reads and the
// sample file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "core/SampleBuffer.h"
#include "driver/HostData.h"
#include "exchange/SampleMemory.h"
#include "support/Bytes.h"
#include "support/ExchangeFixture.h"

namespace zl {
namespace {

using test::ExchangeFixture;

template <class T>
T At(const uint8_t *block, std::size_t offset) {
  T x;
  std::memcpy(&x, block + offset, sizeof x);
  return x;
}

TEST(SampleBuffer, OnlyTheAnnouncedBufferIsAccepted) {
  DriverInstance di;
  EXPECT_TRUE(HostBufferInfo(di, 0xFFFC, 9, 16862));
  EXPECT_FALSE(HostBufferInfo(di, 0xFFFC, 9, 16863));
  EXPECT_FALSE(HostBufferInfo(di, 0xFFFC, 8, 16862));
  EXPECT_FALSE(HostBufferInfo(di, 0xFFFB, 9, 16862));
  uint8_t other[4];
  HostSetBufferAddr(di, 0xFFFB, other);
  EXPECT_EQ(di.Sample.BufferAddress, nullptr);
}

// The block is exactly as large as the host announces it: a write past its end
// is caught by the address sanitizer build.
TEST(SampleBuffer, InitialisationStaysInsideTheHostsBytes) {
  DriverInstance di;
  auto block = std::make_unique<uint8_t[]>(kSampleBufferSize);
  std::memset(block.get(), 0xAA, kSampleBufferSize);
  HostSetBufferAddr(di, 0xFFFC, block.get());
  const uint8_t *b = block.get();
  EXPECT_EQ(di.Sample.BufferAddress, b);
  EXPECT_EQ(At<uint16_t>(b, 2), 8);
  EXPECT_EQ(At<uint32_t>(b, 4), 528u);
  EXPECT_EQ(At<uint16_t>(b, 22), 9);
  EXPECT_EQ(At<uint32_t>(b, 24), 0u);
  EXPECT_EQ(test::HexOf(std::string(reinterpret_cast<const char *>(b) + 30, 4)), "00 00 96 43");
  for (std::size_t i = 34; i < kSampleBufferSize; ++i) ASSERT_EQ(b[i], 0) << i;

  std::lock_guard<std::mutex> lock(di.DataLock);
  SampleBufferTransferStarted(di.Sample);
  EXPECT_EQ(At<uint32_t>(b, 24), 1u);
  SampleBufferRowsStored(di.Sample, 527);
  EXPECT_EQ(At<uint32_t>(b, 8), 527u);
  EXPECT_EQ(At<uint32_t>(b, 24), 1u);
  SampleBufferRowsStored(di.Sample, 528);
  EXPECT_EQ(At<uint32_t>(b, 24), 2u);
}

class SampleMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        f.LoadStations({"ORIGINAL_CHANNELS", "ORIGINAL_CHANNELS\nQQ READ 2500 0 16 4 WORD"}));
    f.Di.StationAt(1)->Address = 7;
    f.Di.StationAt(2)->Address = 123;
  }
  void SetRow(int row, std::initializer_list<uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), f.Di.Sample.Table[row - 1].Bytes);
  }
  ExchangeFixture f;
};

TEST_F(SampleMemory, TransferQueuesTheBlockReads) {
  alignas(4) static uint8_t block[kSampleBufferSize];
  InitSampleBuffer(f.Di.Sample, block);
  SetRow(3, {1, 2, 3});
  f.Put(60000, ZL_TYPE_U8, 0);
  f.Put(60003, ZL_TYPE_BOOL, 1);  // no station: the table is cleared all the same
  EXPECT_EQ(f.Di.Sample.Table[2].Bytes[0], 0);
  EXPECT_EQ(f.Di.Sample.Table[2].Bytes[7], 3);  // the first slot's length byte
  EXPECT_TRUE(f.Secondary().empty());
  EXPECT_EQ(At<uint32_t>(block, 24), 0u);

  f.Put(60000, ZL_TYPE_U8, 2);
  f.Put(60001, ZL_TYPE_U8, 3);
  f.Put(60292, ZL_TYPE_BOOL, 1);
  f.Put(60003, ZL_TYPE_BOOL, 1);
  const auto reads = f.Secondary();
  ASSERT_EQ(reads.size(), 88u);
  for (int r = 0; r < 88; ++r) {
    EXPECT_EQ(reads[r].Station, 2);
    EXPECT_EQ(reads[r].Kind, 144);
    EXPECT_EQ(static_cast<uint16_t>(reads[r].Index), 0x8000 + 186 * r);
  }
  EXPECT_EQ(static_cast<uint16_t>(reads.back().Index), 0xBF36);
  EXPECT_EQ(f.Di.Sample.TransferStation, 2);
  EXPECT_EQ(f.Di.Sample.Busy, 1);
  EXPECT_EQ(At<uint32_t>(block, 24), 1u);
  EXPECT_EQ(f.Services.Wakes(), 0);
  EXPECT_EQ(SampleRequestKind(1, 0), 72);
  EXPECT_EQ(SampleRequestKind(2, 0), 76);
  EXPECT_EQ(SampleRequestKind(2, 5), 140);
}

TEST_F(SampleMemory, FileNames) {
  EXPECT_EQ(SampleFileName(7, 1, 7, 8, 20), "07170820.CUC");
  EXPECT_EQ(SampleFileName(100, 2, 23, 1, 0), "A0230100.CUC");
  EXPECT_EQ(SampleFileName(123, 3, 9, 12, 31), "C3391231.CUC");
  EXPECT_EQ(SampleFileName(255, 1, 0, 0, 0), "P5100000.CUC");
}

TEST_F(SampleMemory, FileHoldsTheRowsWithoutLengthBytes) {
  SetRow(1, {7, 8, 20, 1, 2, 3, 0x55, 3, 0x41, 0xD9, 0x99});
  SetRow(2, {9, 12, 31});
  SetRow(528, {0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 3, 0,    0,    0,   3,
               0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 3, 0xC0, 0x00, 0x01});
  f.Put(60021, ZL_TYPE_BOOL, 1);
  EXPECT_EQ(f.Di.Sample.FileWritten, 1);
  const std::string bytes = test::TempDir::Read(f.Dir.File("07170820.CUC"));
  ASSERT_EQ(bytes.size(), 16368u);
  EXPECT_EQ(test::HexOf(bytes.substr(0, 10)), "07 08 14 01 02 03 55 41 D9 99");
  EXPECT_EQ(test::HexOf(bytes.substr(16365)), "C0 00 01");

  f.Di.Sample.TransferStation = 2;  // a station with a QQ variable: named by row 2
  f.Di.Sample.Block = 3;
  f.Put(60021, ZL_TYPE_BOOL, 1);
  EXPECT_EQ(test::TempDir::Read(f.Dir.File("C3391231.CUC")).size(), 16368u);

  f.Di.Global.CucPath = "C:\\MISSING\\";
  f.Put(60021, ZL_TYPE_BOOL, 1);
  EXPECT_EQ(f.Di.Sample.FileWritten, 0);
}

// The sample file and the debug log have names anyone can predict: a
// symbolic link planted under either name in the drive folder must not turn
// the driver's write into a write to the file it points at.
TEST_F(SampleMemory, TheDriversFilesNeverFollowALink) {
  const std::string victim = f.Dir.Write("victim.txt", "keep me");
  ASSERT_EQ(::symlink(victim.c_str(), f.Dir.File("07170820.CUC").c_str()), 0);
  ASSERT_EQ(::symlink(victim.c_str(), f.Dir.File("ZLNETDRV.LOG").c_str()), 0);
  SetRow(1, {7, 8, 20});
  f.Put(60021, ZL_TYPE_BOOL, 1);
  f.Di.Log.Enable();
  f.Di.Debug("label", "a line that must not reach the victim");
  f.Di.Log.Disable();

  EXPECT_EQ(test::TempDir::Read(victim), "keep me");
  EXPECT_EQ(f.Di.Sample.FileWritten, 1);
  struct stat st {};
  ASSERT_EQ(::lstat(f.Dir.File("07170820.CUC").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_size, 16368);
}

}  // namespace
}  // namespace zl
