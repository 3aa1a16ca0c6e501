// A host that calls the driver wrongly: out of order, twice, after Done, on
// a foreign handle, with null pointers, disposing of a running driver, or
// not pumping its messages for a while. The driver must neither crash nor
// hang, leave no thread or descriptor behind, and lose nothing it was given.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "driver/Driver.h"
#include "driver/Exports.h"
#include "support/HostSession.h"
#include "support/LineWorkload.h"
#include "support/Timing.h"
#include "zlnetdrv.h"

namespace zl::test {
namespace {

using demo::Ch;

// The process as it stands: what a driver must give back when it goes.
struct Footprint {
  int Fds = OpenDescriptors();
  int Tasks = ThreadCount();
};

bool SameFootprint(const Footprint &before) {
  // A thread that has been joined may take a moment to leave /proc.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    Footprint now;
    if (now.Fds == before.Fds && now.Tasks == before.Tasks) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

std::string DemoFile() {
  return std::string(ZL_SOURCE_DIR) + "/examples/demo.par";
}

bool InitDemo(void *h) {
  char text[256] = "MISUSE";
  return Init(h, 255, DemoFile().c_str(), 0, text, 0) == 1;
}

// Calls in the wrong order, each on a fresh driver: none may crash, and the
// driver leaves the process as it found it.
TEST(HostMisuse, CallsOutOfOrderLeaveNoThreadOrDescriptorBehind) {
  TempDir dir;
  const struct {
    const char *Name;
    const char *Steps;  // I Init, D Done, P DisposeDriver
  } cases[] = {
      {"Done twice", "IDDP"},         {"Done without Init", "DDP"},   {"Init twice", "IIDP"},
      {"Init after Done", "IDIDP"},   {"Dispose without Done", "IP"}, {"Dispose twice", "IDPP"},
      {"Init, Init, Dispose", "IIP"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    const Footprint before;
    void *h = MakeDriver();
    ASSERT_NE(h, nullptr);
    for (const char *step = c.Steps; *step; ++step) {
      switch (*step) {
        case 'I':
          EXPECT_TRUE(InitDemo(h));
          EXPECT_NE(FormOfHandle(h)->Thread, nullptr);
          break;
        case 'D':
          Done(h);
          EXPECT_EQ(FormOfHandle(h)->Thread, nullptr);
          break;
        default:
          DisposeDriver(h);
          EXPECT_EQ(FormOfHandle(h), nullptr);
          break;
      }
    }
    EXPECT_TRUE(SameFootprint(before));
  }
}

// Every entry point on a handle that is not (or no longer) the driver's.
// A driver made while the process has no free descriptor has no message
// queue: Init makes it once a descriptor is free (or fails and says why),
// and never answers true for a driver whose messages can never arrive.
TEST(HostMisuse, ADriverMadeWithoutAFreeDescriptorGetsItsQueueAtInit) {
  TempDir dir;  // drive C: for the debug log's last line
  // One driver made and gone while descriptors are free: a sanitizer's
  // run-time reads its type tables on first use, which needs a descriptor.
  DisposeDriver(MakeDriver());
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
  const int lowest = ::dup(0);  // the number the next descriptor gets
  ASSERT_GE(lowest, 0);
  ::close(lowest);
  rlimit tight = old;
  tight.rlim_cur = static_cast<rlim_t>(lowest);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  void *h = MakeDriver();
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &old), 0);
  ASSERT_NE(h, nullptr);
  char text[256] = "HOST";
  ASSERT_EQ(Init(h, 255, DemoFile().c_str(), 0, text, 1), 1) << text;
  EXPECT_GE(MessageFd(h), 0);
  Done(h);
  DisposeDriver(h);
}

TEST(HostMisuse, ForeignAndStaleHandlesDoNothing) {
  TempDir dir;
  void *h = MakeDriver();
  ASSERT_TRUE(InitDemo(h));
  int local = 0;
  char bytes[16] = {};
  void *foreign[] = {&local, bytes + 1, static_cast<char *>(h) + 1, nullptr};
  for (void *f : foreign) {
    HostValue v{ZL_TYPE_DOUBLE, {1, 2, 3, 4, 5, 6, 7, 8}};
    GetInput(f, Ch(1, demo::kBI), &v);
    EXPECT_EQ(v.value[0], 1);
    OutputRequest(f, Ch(1, demo::kConnect), ZL_TYPE_BOOL, 1);
    InputRequest(f, 2501);
    Done(f);
    DisposeDriver(f);
    EXPECT_EQ(PumpMessages(f, 0), 0);
  }
  EXPECT_NE(FormOfHandle(h)->Thread, nullptr);  // untouched by all that
  EXPECT_EQ(FormOfHandle(h)->Client->Connected(), false);
  DisposeDriver(h);
  // The same address, now stale.
  HostValue v{ZL_TYPE_DOUBLE, {9}};
  GetInput(h, demo::kQueued, &v);
  EXPECT_EQ(v.value[0], 9);
  Done(h);
  DisposeDriver(h);
}

class LiveLine : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SimOptions options;
    options.Static = true;
    std::string error;
    ASSERT_TRUE(s_.Start(options, error)) << error;
    work_ = std::make_unique<LineWorkload>(s_);
    work_->SetPhase(1);
    ASSERT_TRUE(work_->KeepConnected());
  }

  Driver &Form() { return *FormOfHandle(s_.Handle()); }

  HostSession s_;
  std::unique_ptr<LineWorkload> work_;
};

// Null pointers into a driver that is running and connected: nothing
// happens, and the driver goes on serving as before.
TEST_F(LiveLine, NullPointersChangeNothingOnARunningDriver) {
  void *h = s_.Handle();
  const uint16_t channels[] = {
      Ch(1, demo::kBI), Ch(1, 456), Ch(1, demo::kAI), 2501, 2506, 3000, 60010, 65532,
      demo::kQueued,    496};
  for (uint16_t ch : channels) GetInput(h, ch, nullptr);
  char text[256] = "X";
  EXPECT_EQ(Init(h, 255, nullptr, 0, text, 0), 0);
  EXPECT_EQ(Init(h, 255, DemoFile().c_str(), 0, nullptr, 0), 0);
  SetBufferAddr(h, ZL_SAMPLE_BUFFER, nullptr);
  EXPECT_EQ(GetStatusWindow(h, nullptr, 4096), 0);
  ClickButton(h, nullptr);
  EXPECT_EQ(InputFinalized(h, 0, nullptr), 0);
  EXPECT_EQ(OutputFinalized(h, 0, nullptr), 0);
  // A text read of a channel that gives text, with no host buffer given.
  HostValue noBuffer{ZL_TYPE_TEXT, {}};
  GetInput(h, Ch(1, 456), &noBuffer);
  GetInput(h, 2506, &noBuffer);

  ASSERT_NE(Form().Thread, nullptr);
  EXPECT_EQ(s_.D(demo::kClientConnected), 1.0);
  work_->SetPhase(2);
  ASSERT_TRUE(work_->Round());
  EXPECT_EQ(work_->Stale(), std::vector<std::string>{});
}

// After Done nothing may reconnect, queue or restart the thread.
TEST_F(LiveLine, CallsAfterDoneDoNothing) {
  void *h = s_.Handle();
  // The driver sees its connection up as soon as the handshake is done; the
  // simulator counts it when its thread has accepted it.
  ASSERT_TRUE(s_.PumpUntil([&] { return s_.Sim().LineStatistics().at(0).Connections > 0; }));
  const uint64_t connections = s_.Sim().LineStatistics().at(0).Connections;
  Done(h);
  EXPECT_EQ(Form().Thread, nullptr);
  for (int slot = 1; slot <= 3; ++slot) {
    OutputRequest(h, Ch(slot, demo::kConnect), ZL_TYPE_BOOL, 1);
    OutputRequest(h, Ch(slot, demo::kReadBI), ZL_TYPE_BOOL, 1);
    OutputRequest(h, Ch(slot, demo::kBO), ZL_TYPE_BOOL, 1);
    HostValue v{ZL_TYPE_DOUBLE, {7}};
    GetInput(h, Ch(slot, demo::kAI), &v);
    EXPECT_EQ(v.value[0], 7);
  }
  InputRequest(h, 2501);
  OutputRequest(h, 60003, ZL_TYPE_BOOL, 1);  // a sample transfer
  OutputRequest(h, 60021, ZL_TYPE_BOOL, 1);  // the sample file
  OutputRequest(h, 65535, ZL_TYPE_BOOL, 1);  // forcing
  for (int i = 0; i < 20; ++i) PumpMessages(h, 5);
  EXPECT_EQ(s_.D(demo::kQueued), 0.0);
  EXPECT_EQ(Form().Thread, nullptr);
  EXPECT_EQ(s_.Sim().LineStatistics().at(0).Connections, connections);
  Done(h);  // and once more
}

// The sample buffer is the host's memory: once the host withdraws it (a
// null address) or calls Done, the driver writes nothing more into it, and
// a transfer still fills the driver's own table.
TEST_F(LiveLine, AWithdrawnSampleBufferIsNeverWrittenAgain) {
  void *h = s_.Handle();
  std::vector<uint8_t> block(ZL_SAMPLE_BUFFER_SIZE, 0xEE);
  SetBufferAddr(h, ZL_SAMPLE_BUFFER, block.data());
  SetBufferAddr(h, ZL_SAMPLE_BUFFER, nullptr);
  const std::vector<uint8_t> before = block;
  s_.Put(60000, ZL_TYPE_U8, 1);
  s_.Put(60003, ZL_TYPE_BOOL, 1);
  ASSERT_TRUE(s_.PumpUntil([&] { return s_.Bool(60018) == 0; }));
  EXPECT_TRUE(block == before);
  s_.Put(60002, ZL_TYPE_U16, 528);
  EXPECT_NE(s_.D(60010), 0.0);  // the last row is in the table

  SetBufferAddr(h, ZL_SAMPLE_BUFFER, block.data());
  Done(h);
  EXPECT_EQ(Form().Di.Sample.BufferAddress, nullptr);
}

// The host stops pumping: the thread waits in its synchronised call and
// nothing moves; when pumping resumes every request is answered, none is
// lost and none timed out.
TEST_F(LiveLine, AHostThatStopsPumpingHoldsTheThreadAndLosesNothing) {
  void *h = s_.Handle();
  work_->SetPhase(3);
  for (int slot = 1; slot <= 2; ++slot) {
    s_.Command(Ch(slot, demo::kReadBI));
    s_.Command(Ch(slot, demo::kReadAI));
    s_.Command(Ch(slot, demo::kReadKI));
  }
  for (uint16_t qq : {2501, 2503, 2600}) InputRequest(h, qq);
  ASSERT_GT(s_.D(demo::kQueued), 0.0);

  // Not pumping: the thread soon blocks in a call only the host's thread can
  // run, and stays there (its pass count stops).
  ASSERT_TRUE(WaitUntil([&] { return Form().Loop.WaitingSends() > 0; }, 60000));
  const uint64_t passes = Form().Thread->PassCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(Form().Thread->PassCount(), passes);
  EXPECT_EQ(Form().Loop.WaitingSends(), 1u);
  EXPECT_GT(s_.D(demo::kQueued), 0.0);

  ASSERT_TRUE(s_.Settle());
  EXPECT_EQ(work_->Stale(), std::vector<std::string>{});
  EXPECT_EQ(work_->StationSum(demo::kErrorNoAnswer), 0.0);
}

// DisposeDriver on a connected driver whose thread waits for the host: the
// thread ends, the connection closes, nothing stays open.
TEST(HostMisuse, DisposeWithoutDoneWhileTheThreadWaitsClosesEverything) {
  const Footprint before;
  {
    HostSession s;
    sim::SimOptions options;
    options.Static = true;
    std::string error;
    ASSERT_TRUE(s.Start(options, error)) << error;
    ASSERT_TRUE(s.Connect(1));
    s.Command(Ch(1, demo::kReadBI));
    s.Command(Ch(1, demo::kReadAI));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // no pumping
    DisposeDriver(s.Handle());
    EXPECT_EQ(FormOfHandle(s.Handle()), nullptr);
  }
  EXPECT_TRUE(SameFootprint(before));
}

}  // namespace
}  // namespace zl::test
