// Init creates the TCP client with its status lines; Done frees it and leaves
// no socket or thread behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

#include "driver/Driver.h"
#include "driver/EventLines.h"
#include "support/ConfigFixture.h"
#include "support/TestSupport.h"

namespace zl {
namespace {

using test::Cp;

bool StartsWith(const std::string &s, const std::string &prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

TEST(ClientLifecycle, InitShowsTheClientsStatusLinesAndDoneLeavesNothingBehind) {
  test::TempDir dir;
  std::string file = dir.Write("LINE.PAR", test::GlobalSection() + test::StationSection());
  // A sanitizer's runtime starts a thread of its own with the first thread
  // the process creates: let that happen before counting.
  std::thread([] {}).join();
  int fdsBefore = test::OpenDescriptors();
  int threadsBefore = test::ThreadCount();
  {
    Driver form;
    char text[256] = "Host";
    ASSERT_TRUE(form.Init(255, file.c_str(), text, 0)) << text;
    ASSERT_NE(form.Client, nullptr);
    EXPECT_FALSE(form.Client->Connected());

    auto lines = form.EventList.Lines();
    auto ok = std::find(lines.begin(), lines.end(), Cp("Inicializace OK"));
    ASSERT_NE(ok, lines.end());
    ASSERT_GE(lines.end() - ok, 7);
    EXPECT_TRUE(StartsWith(ok[1], "WinSocket Verze: 1.1"));
    EXPECT_TRUE(StartsWith(ok[2], "Popis: "));
    EXPECT_TRUE(StartsWith(ok[3], "System Status: "));
    EXPECT_TRUE(StartsWith(ok[4], Cp("Local Host, Název: ")));
    EXPECT_TRUE(StartsWith(ok[5], "Local Host, Adresa: "));
    EXPECT_EQ(lines.back(), Cp("Třída threadu = TIdleThread"));

    form.Done();
    EXPECT_EQ(form.Client, nullptr);
    EXPECT_EQ(form.Thread, nullptr);
    EXPECT_EQ(test::ThreadCount(), threadsBefore);
  }
  EXPECT_EQ(test::OpenDescriptors(), fdsBefore);
}

TEST(ClientLifecycle, StatusLinesOfManyReconnectsStopAtACeiling) {
  Driver form;
  for (int i = 0; i < 1000; ++i) form.AddStatusLine("line " + std::to_string(i));
  auto lines = form.EventList.Lines();
  ASSERT_EQ(lines.size(), kStatusLineCeiling);
  EXPECT_EQ(lines.back(), "line 999");
  // The 12-line rule still deletes one line per event.
  form.AddEvent("event");
  EXPECT_EQ(form.EventList.Count(), kStatusLineCeiling);
}

}  // namespace
}  // namespace zl
