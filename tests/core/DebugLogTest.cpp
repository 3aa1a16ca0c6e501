#include "driver/DebugLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "port/Clock.h"
#include "support/TestSupport.h"
#include "support/Timing.h"

namespace zl {
namespace {

std::vector<std::string> CrLfLines(const std::string &text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return lines;
}

class DebugLogTest : public ::testing::Test {
 protected:
  DebugLogTest() : clock_(test::At(14, 5, 3)) { SetClock(&clock_); }
  ~DebugLogTest() override { SetClock(nullptr); }

  std::string LogText() const { return test::TempDir::Read(dir_.File("ZLNETDRV.LOG")); }

  test::TempDir dir_;
  ManualClock clock_;
  DebugLog log_;
};

TEST_F(DebugLogTest, WritesNothingAndCreatesNoFileWhileOff) {
  log_.Write("init", "OK");
  EXPECT_FALSE(std::filesystem::exists(dir_.File("ZLNETDRV.LOG")));
  EXPECT_EQ(log_.FileName(), "");
}

TEST_F(DebugLogTest, AppendsOneLineOfDateTimeLabelAndText) {
  log_.Enable();
  EXPECT_EQ(log_.FileName(), "C:\\ZLNETDRV.LOG");
  log_.Write("init", "OK");
  log_.Write("done", "end");
  auto lines = CrLfLines(LogText());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], DateTimeText() + " init : OK");
  EXPECT_EQ(lines[1], DateTimeText() + " done : end");
}

TEST_F(DebugLogTest, CutsTheLineTo255Bytes) {
  log_.Enable();
  log_.Write(std::string(200, 'L'), std::string(200, 'T'));
  auto lines = CrLfLines(LogText());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), 255u);
  EXPECT_EQ(lines[0], (DateTimeText() + " " + std::string(200, 'L') + " : " + std::string(200, 'T'))
                          .substr(0, 255));
}

TEST_F(DebugLogTest, EnableWhileOnChangesNothingAndOffStopsWriting) {
  log_.Enable();
  log_.Write("a", "1");
  log_.Enable();
  EXPECT_TRUE(log_.Enabled());
  EXPECT_EQ(log_.FileName(), "C:\\ZLNETDRV.LOG");
  log_.Write("b", "2");
  log_.Disable();
  log_.Write("c", "3");
  EXPECT_EQ(CrLfLines(LogText()).size(), 2u);
}

TEST_F(DebugLogTest, AnUnwritableLogIsLostSilentlyAndTheNextLineStillWorks) {
  log_.Enable();
  std::filesystem::create_directory(dir_.File("ZLNETDRV.LOG"));  // a folder in the file's place
  log_.Write("lost", "line");
  std::filesystem::remove(dir_.File("ZLNETDRV.LOG"));
  log_.Write("kept", "line");  // LogBusy was released after the failure
  auto lines = CrLfLines(LogText());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], DateTimeText() + " kept : line");
}

TEST_F(DebugLogTest, TwoWritersNeverShareTheFile) {
  log_.Enable();
  auto write = [&](const char *label) {
    for (int i = 0; i < 200; ++i) log_.Write(label, "x");
  };
  std::thread other(write, "two");
  write("one");
  other.join();
  // Lines refused by the busy check are lost; every line written is whole.
  auto lines = CrLfLines(LogText());
  ASSERT_FALSE(lines.empty());
  for (const std::string &line : lines) {
    EXPECT_TRUE(line == DateTimeText() + " one : x" || line == DateTimeText() + " two : x") << line;
  }
}

}  // namespace
}  // namespace zl
