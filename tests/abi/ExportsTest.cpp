// The C ABI as a host calls it (the entry points of the static core).
#include "zlnetdrv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/Driver.h"
#include "driver/Exports.h"
#include "support/Json.h"
#include "support/TestSupport.h"

namespace zl {
namespace {

TEST(Exports, AnswersTheFixedCallsBeforeAnyDriverExists) {
  EXPECT_EQ(Version(), 0x30000u);
  char text[40];
  std::memset(text, '#', sizeof text);
  EXPECT_EQ(Check(0, text), 1);
  EXPECT_EQ(text[0], '\0');
  EXPECT_EQ(text[1], '#');
  std::memset(text, '#', sizeof text);
  EXPECT_EQ(GetDriverInfo(0, text), 28u);
  EXPECT_STREQ(text, "Zavro-RT/ZL2, TCP/IP v.1.101");
  EXPECT_EQ(text[29], '#');  // nothing written past the NUL
  EXPECT_EQ(Check(0, nullptr), 1);
  EXPECT_EQ(GetDriverInfo(0, nullptr), 0u);
}

// With nullPointers, every call that takes a pointer gets a null one (the
// handle may be valid); otherwise every call gets the (null or foreign)
// handle and valid pointers. Either way nothing may happen.
void CallEverything(void *handle, bool nullPointers) {
  SCOPED_TRACE(nullPointers ? "null pointers" : "foreign handle");
  char text[256] = "Host";
  int32_t result = 5;
  HostValue value{};
  if (nullPointers) {
    EXPECT_EQ(Init(handle, 255, nullptr, 0, text, 1), 0);
    EXPECT_EQ(Init(handle, 255, "X.PAR", 0, nullptr, 1), 0);
    SetBufferAddr(handle, 0xFFFC, nullptr);
    GetInput(handle, 1, nullptr);
    EXPECT_EQ(InputFinalized(handle, 0, nullptr), 0);
    EXPECT_EQ(OutputFinalized(handle, 0, nullptr), 0);
    EXPECT_EQ(GetStatusWindow(handle, nullptr, 100), 0);
    ClickButton(handle, nullptr);
    return;
  }
  EXPECT_EQ(DriverCallBack(handle, 1), 0);
  EXPECT_EQ(Init(handle, 255, "X.PAR", 0, text, 1), 0);
  EXPECT_EQ(BufferInfo(handle, 0xFFFC, 9, 16862), 0);
  SetBufferAddr(handle, 0xFFFC, text);
  InputRequest(handle, 1);
  InputRequestCompleted(handle, 1);
  GetInput(handle, 1, &value);
  OutputRequest(handle, 1, 2, 1);
  OutputRequestCompleted(handle, 1);
  DriverProc(handle, 1, 0, 0);
  DriverProc(handle, 6, 9, 0);
  QueryProc(handle, 8, 1);
  EXPECT_EQ(PumpMessages(handle, 0), 0);
  EXPECT_EQ(GetStatusWindow(handle, text, sizeof text), 0);
  ClickButton(handle, "About");
  EXPECT_EQ(InputFinalized(handle, 0, &result), 0);
  EXPECT_EQ(OutputFinalized(handle, 0, &result), 0);
  EXPECT_EQ(result, 5);
  EXPECT_EQ(MessageFd(handle), -1);
  EXPECT_STREQ(text, "Host");
  EXPECT_EQ(value.type, 0u);
  Done(handle);
  DisposeDriver(handle);
}

TEST(Exports, NullOrForeignHandlesAndNullPointersDoNothing) {
  int foreign = 0;
  CallEverything(nullptr, false);
  CallEverything(&foreign, false);

  void *handle = MakeDriver();
  ASSERT_NE(handle, nullptr);
  CallEverything(&foreign, false);
  CallEverything(handle, true);
  Driver *form = FormOfHandle(handle);
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(form->EventList.Count(), 0u);
  DisposeDriver(handle);
  EXPECT_EQ(FormOfHandle(handle), nullptr);
  DisposeDriver(handle);          // a second time: nothing
  CallEverything(handle, false);  // the handle of a disposed driver
}

TEST(Exports, ASecondMakeDriverReplacesTheFirstAtTheSameHandle) {
  void *first = MakeDriver();
  Driver *old = FormOfHandle(first);
  void *second = MakeDriver();
  EXPECT_EQ(first, second);  // the address of the one process-wide variable
  EXPECT_NE(FormOfHandle(second), nullptr);
  (void)old;  // freed by the second MakeDriver; no handle reaches it any more
  DisposeDriver(first);
  DisposeDriver(second);
  EXPECT_EQ(FormOfHandle(second), nullptr);
}

TEST(Exports, DriverCallBackAnswersAndLogsTheCodesLowByte) {
  test::TempDir dir;
  void *h = MakeDriver();
  FormOfHandle(h)->Di.Log.Enable();
  const struct {
    int32_t code;
    int32_t answer;
    const char *digits;
  } cases[] = {{0, 0, "000"},  {1, 0, "001"},   {2, 0, "002"},    {3, -1, "003"},
               {7, -1, "007"}, {-1, -1, "255"}, {256, -1, "000"}, {300, -1, "044"}};
  for (const auto &c : cases) EXPECT_EQ(DriverCallBack(h, c.code), c.answer) << c.code;
  std::string log = test::TempDir::Read(dir.File("ZLNETDRV.LOG"));
  std::size_t at = 0;
  for (const auto &c : cases) {
    at = log.find(std::string(" DriverCallBack : ") + c.digits + "\r\n", at);
    EXPECT_NE(at, std::string::npos) << c.code;
  }
  DisposeDriver(h);
}

TEST(Exports, AFailingInitThenDoneAndDispose) {
  test::TempDir dir;
  void *h = MakeDriver();
  char text[256] = "Host";
  std::string missing = dir.File("NONE.PAR");
  EXPECT_EQ(Init(h, 255, missing.c_str(), 0, text, 2), 0);
  EXPECT_GT(std::strlen(text), 0u);
  EXPECT_EQ(FormOfHandle(h)->Thread, nullptr);
  int32_t result = 9;
  EXPECT_EQ(InputFinalized(h, 0, &result), 1);
  EXPECT_EQ(result, 0);
  result = 9;
  EXPECT_EQ(OutputFinalized(h, 0, &result), 1);
  EXPECT_EQ(result, 0);
  Done(h);
  EXPECT_NE(test::TempDir::Read(dir.File("ZLNETDRV.LOG")).find(" done : end\r\n"),
            std::string::npos);
  DisposeDriver(h);
}

// ZLNETDRV_LANG=en before MakeDriver turns every operator text English; without
// it the driver speaks Czech again, byte for byte.
TEST(Exports, TheLanguageIsTheEnvironmentsAtMakeDriver) {
  test::TempDir dir;
  const std::string missing = dir.File("NONE.PAR");
  auto failedInit = [&](const char *lang, std::string &events) {
    if (lang)
      setenv("ZLNETDRV_LANG", lang, 1);
    else
      unsetenv("ZLNETDRV_LANG");
    void *h = MakeDriver();
    char text[256] = "Host";
    EXPECT_EQ(Init(h, 255, missing.c_str(), 0, text, 2), 0);
    char window[8192];
    GetStatusWindow(h, window, sizeof window);
    events = window;
    DisposeDriver(h);
    unsetenv("ZLNETDRV_LANG");
    return std::string(text);
  };
  std::string events;
  EXPECT_EQ(failedInit("en", events), "Cannot read the parameter file " + missing);
  EXPECT_NE(events.find("\"Parameter file = "), std::string::npos) << events;
  EXPECT_NE(events.find("\"Mi&nimize\""), std::string::npos);
  EXPECT_EQ(failedInit(nullptr, events), test::Cp("Nelze načíst parametrický soubor ") + missing);
  EXPECT_NE(events.find("\"Parametrický soubor = "), std::string::npos) << events;
  EXPECT_EQ(failedInit("cs", events), test::Cp("Nelze načíst parametrický soubor ") + missing);
}

TEST(Exports, StatusWindowIsJsonAndNeverOverrunsTheBuffer) {
  void *h = MakeDriver();
  DriverProc(h, 6, 3, 0);  // "Nová úroveň ..." : two-byte characters in UTF-8
  ClickButton(h, "About");
  ClickButton(h, "Nothing");
  DriverProc(h, 5, 100, 50);

  char probe[1];
  int32_t length = GetStatusWindow(h, probe, 0);  // size 0: only the length
  ASSERT_GT(length, 0);
  std::string full(static_cast<std::size_t>(length) + 1, '#');
  EXPECT_EQ(GetStatusWindow(h, full.data(), length + 1), length);
  EXPECT_EQ(full[static_cast<std::size_t>(length)], '\0');
  full.resize(static_cast<std::size_t>(length));

  test::JsonValue v;
  ASSERT_TRUE(test::ParseJson(full, v)) << full;
  EXPECT_EQ(v["left"].number, 100);
  EXPECT_EQ(v["top"].number, 50);
  ASSERT_EQ(v["events"].array.size(), 7u);
  EXPECT_EQ(v["events"][0].string, "Nová úroveň přihlášení = 3");
  EXPECT_EQ(v["events"][3].string, "Komunikační ovladač pro Halvex 3.x/2000/5.x");

  // A cut in the middle of a two-byte character keeps only whole characters.
  std::size_t accent = full.find("\xC3\xA1");  // the "á" of "Nová"
  ASSERT_NE(accent, std::string::npos);
  std::string small(accent + 8, '#');
  EXPECT_EQ(GetStatusWindow(h, small.data(), static_cast<int32_t>(accent + 2)), length);
  EXPECT_EQ(std::string(small.c_str()), full.substr(0, accent));
  EXPECT_EQ(small[accent + 2], '#');  // nothing past the given size
  DisposeDriver(h);
}

TEST(Exports, PumpMessagesAndMessageFdServeTheHostThread) {
  void *h = MakeDriver();
  EXPECT_GE(MessageFd(h), 0);
  EXPECT_EQ(PumpMessages(h, 0), 0);
  bool ran = false;
  FormOfHandle(h)->Loop.Post([&] { ran = true; });
  EXPECT_EQ(PumpMessages(h, 100), 1);
  EXPECT_TRUE(ran);
  DisposeDriver(h);
}

}  // namespace
}  // namespace zl
