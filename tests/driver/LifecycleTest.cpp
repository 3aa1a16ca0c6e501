// Init, Done and the stop of a running communication thread, on a Driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "driver/Driver.h"
#include "driver/ParameterLoad.h"
#include "port/Beep.h"
#include "port/Clock.h"
#include "support/ConfigFixture.h"
#include "support/TestSupport.h"
#include "support/Timing.h"

namespace zl {
namespace {

using test::Cp;
using test::WaitUntil;

std::atomic<int> g_beeps{0};
std::atomic<int> g_lastBeep{0};
void RecordBeep(int hz, int ms) {
  ++g_beeps;
  g_lastBeep = hz * 1000 + ms;
}

int CountOf(const std::string &text, const std::string &part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class Lifecycle : public ::testing::Test {
 protected:
  Lifecycle() { SetBeepHook(RecordBeep); }
  ~Lifecycle() override { SetBeepHook(nullptr); }
  std::string Log() const { return test::TempDir::Read(dir_.File("ZLNETDRV.LOG")); }

  test::TempDir dir_;
};

TEST_F(Lifecycle, AFailingInitGivesItsMessageAndLeavesNoThread) {
  Driver form;
  char text[256];
  std::memset(text, 'x', sizeof text);
  std::strcpy(text, "HostName");
  std::string missing = dir_.File("MISSING.PAR");
  ASSERT_FALSE(form.Init(5, missing.c_str(), text, 7));

  // The buffer holds the load's error text, NUL-terminated: the file name as
  // the host's character limit cut it.
  EXPECT_EQ(std::string(text), Cp("Nelze načíst parametrický soubor ") + missing.substr(0, 5));
  EXPECT_EQ(form.Thread, nullptr);
  EXPECT_EQ(form.Client, nullptr);
  EXPECT_EQ(form.LoginLevel, 7);
  EXPECT_EQ(form.Di.ParameterFileName.str(), missing.substr(0, 5));

  auto lines = form.EventList.Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], Cp("Název ovladače v aplikaci = HostName"));
  EXPECT_EQ(lines[1], Cp("Parametrický soubor = ") + missing.substr(0, 5));
  EXPECT_EQ(lines[2], Cp("Úroveň pro přihlášení = 7"));

  // Done after it still frees the station records.
  ASSERT_NE(form.Di.StationAt(1), nullptr);
  form.Done();
  EXPECT_EQ(form.Di.StationAt(1), nullptr);
  EXPECT_EQ(form.Di.Sample.Table, nullptr);
}

TEST_F(Lifecycle, ASuccessfulInitStartsTheThreadAndDoneStopsIt) {
  std::string file =
      dir_.Write("GOOD.PAR", test::GlobalSection(" $DIAGS") + test::StationSection());
  Driver form;
  char text[256] = "Host";
  ASSERT_TRUE(form.Init(255, file.c_str(), text, 1)) << text;
  ASSERT_NE(form.Thread, nullptr);
  EXPECT_EQ(form.IdleGO->load(), 1);
  EXPECT_EQ(form.Thread->IdleTime(), 10);
  auto lines = form.EventList.Lines();
  EXPECT_EQ(lines.back(), Cp("Třída threadu = TIdleThread"));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Inicializace OK"), lines.end());
  std::string log = Log();
  for (const char *line :
       {" init : reset data stations OK\r\n", " init : call reset buffer\r\n",
        " init : return reset buffer - INIT = TRUE\r\n", " LoadPARfile : OK\r\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  ASSERT_TRUE(WaitUntil([&] { return form.Thread->PassCount() > 0; }));
  form.Done();
  EXPECT_EQ(form.Thread, nullptr);
  EXPECT_EQ(form.Di.StationAt(1), nullptr);
  EXPECT_FALSE(form.Di.Log.Enabled());
}

TEST_F(Lifecycle, TheFileNameStopsAtItsNulAndTheHostNameAtTheBufferEnd) {
  Driver form;
  char text[256];
  std::memset(text, 'N', sizeof text);  // no NUL at all: only the 256 bytes are read
  const char name[] = {'A', 'B', '\0', 'C', 'D', 'E'};
  form.Init(5, name, text, 0);
  EXPECT_EQ(form.Di.ParameterFileName.str(), "AB");
  EXPECT_EQ(form.EventList.Lines()[0], Cp("Název ovladače v aplikaci = ") + std::string(256, 'N'));
  EXPECT_EQ(text[255], '\0');  // the error text came back terminated
}

TEST_F(Lifecycle, DoneLeavesItsEndLineWhetherTheLogWasOnOrOff) {
  Driver form;
  g_beeps = 0;
  form.Done();  // log off: only the final line
  EXPECT_EQ(g_beeps.load(), 1);
  EXPECT_EQ(g_lastBeep.load(), 1000 * 1000 + 100);
  std::string log = Log();
  EXPECT_EQ(CountOf(log, "\r\n"), 1);
  EXPECT_NE(log.find(" done : end\r\n"), std::string::npos);
  EXPECT_FALSE(form.Di.Log.Enabled());

  form.Di.Log.Enable();
  form.Done();  // a second Done is harmless
  log = Log();
  EXPECT_NE(log.find(" done : begin\r\n"), std::string::npos);
  EXPECT_NE(log.find(" done : queues are empty\r\n"), std::string::npos);
  EXPECT_NE(log.find(" done : COM closed\r\n"), std::string::npos);
  EXPECT_NE(log.find(" done : stations/data closed\r\n"), std::string::npos);
  EXPECT_EQ(CountOf(log, " done : end\r\n"), 2);
  EXPECT_FALSE(form.Di.Log.Enabled());
}

// The configuration steps of Init with a stand-in for the file: defaults and
// station records, then the communication starts.
void StartWithStandInConfiguration(Driver &form, int idleTime) {
  InitZavro(form.Di);
  form.Di.Global.IdleTime = idleTime;
  form.Di.Polling.LastTick = DayCentiseconds();
  form.StartCommunication();
}

// A driver whose thread is blocked in a synchronised call: station 1's sleep
// ends on the first pass after the clock moves, and the thread posts that
// event line to the host's thread, which does not pump.
class BlockedThread : public Lifecycle {
 protected:
  BlockedThread() : clock_(test::At(12)) { SetClock(&clock_); }
  ~BlockedThread() override { SetClock(nullptr); }

  void StartBlocked(Driver &form) {
    InitZavro(form.Di);
    form.Di.StationCount = 1;
    form.Di.StationAt(1)->Name = "ST1";
    form.Di.StationAt(1)->SleepRemaining = ToReal6(0.5);
    form.Di.Polling.LastTick = DayCentiseconds();
    form.StartCommunication();
    ASSERT_TRUE(WaitUntil([&] { return form.Thread->PassCount() > 0; }));
    clock_.Advance(1000);
    ASSERT_TRUE(WaitUntil([&] { return form.Loop.PendingCount() > 0; }));
  }

  static std::string SleepEndLine() { return "ST1" + Cp(" - konec módu \"sleep\""); }

  ManualClock clock_;
};

TEST_F(Lifecycle, StartingTheCommunicationRunsTheThreadAndNamesItsClass) {
  Driver form;
  StartWithStandInConfiguration(form, 1);
  ASSERT_NE(form.Thread, nullptr);
  EXPECT_EQ(form.IdleGO->load(), 1);
  EXPECT_EQ(form.Di.IdleGO, form.IdleGO.get());
  EXPECT_EQ(form.Thread->IdleTime(), 1);
  EXPECT_EQ(form.EventList.Lines().back(), Cp("Třída threadu = TIdleThread"));
  ASSERT_TRUE(WaitUntil([&] { return form.Thread->PassCount() >= 2; }));

  form.Di.Log.Enable();
  form.Done();
  EXPECT_EQ(form.Thread, nullptr);
  EXPECT_EQ(form.IdleGO->load(), 0);
  EXPECT_EQ(form.Di.OnDone.load(), 1);
  std::string log = Log();
  for (const char *step : {"suspended=false", "IdleGO=false", "OnDone=true",
                           "thread.terminate called", "thread.terminated flag is on"}) {
    EXPECT_NE(log.find(std::string(" done : ") + step + "\r\n"), std::string::npos) << step;
  }
}

TEST_F(BlockedThread, DoneServesTheCallTheThreadWaitsInAndEndsIt) {
  Driver form;
  form.Di.Log.Enable();
  StartBlocked(form);
  EXPECT_EQ(form.EventList.Lines().back(), Cp("Třída threadu = TIdleThread"));

  form.Done();  // serves the call while it waits for the thread
  EXPECT_EQ(form.Thread, nullptr);
  EXPECT_EQ(form.EventList.Lines().back(), SleepEndLine());
  EXPECT_NE(Log().find(" AddToMemo : " + SleepEndLine() + "\r\n"), std::string::npos);
}

TEST_F(BlockedThread, DestroyingARunningDriverStopsItsThreadFirst) {
  std::thread([] {}).join();  // a sanitizer's own thread starts with the first one
  const int threadsBefore = test::ThreadCount();
  auto form = std::make_unique<Driver>();
  form->Di.Log.Enable();
  StartBlocked(*form);
  ASSERT_GT(test::ThreadCount(), threadsBefore);
  form.reset();  // DisposeDriver without Done: no hang, no use after free
  // The thread's waiting call was served and the thread is gone.
  EXPECT_NE(Log().find(" AddToMemo : " + SleepEndLine() + "\r\n"), std::string::npos) << Log();
  EXPECT_TRUE(WaitUntil([&] { return test::ThreadCount() == threadsBefore; }));
}

TEST_F(BlockedThread, DoneFromAThreadThatCannotPumpDoesNotHang) {
  Driver form;
  StartBlocked(form);
  std::thread other([&] { form.Done(); });
  other.join();
  EXPECT_EQ(form.Thread, nullptr);
}

TEST_F(Lifecycle, ASecondInitStopsTheRunningThreadFirst) {
  Driver form;
  StartWithStandInConfiguration(form, 1);
  ASSERT_NE(form.Thread, nullptr);
  char text[256] = "Host";
  std::string missing = dir_.File("MISSING.PAR");
  EXPECT_FALSE(form.Init(255, missing.c_str(), text, 0));
  EXPECT_EQ(form.Thread, nullptr);
}

}  // namespace
}  // namespace zl
