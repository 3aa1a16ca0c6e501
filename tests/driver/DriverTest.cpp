#include "driver/Driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/StatusLabels.h"
#include "support/Json.h"
#include "support/TestSupport.h"

namespace zl {
namespace {

using test::Cp;

TEST(Driver, IsCreatedHiddenWithItsCaptionsAndAnEmptyEventList) {
  Driver form;
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(form.Caption(), "ZLNETDRV");
  EXPECT_EQ(form.Left(), 308);
  EXPECT_EQ(form.Top(), 167);
  EXPECT_EQ(form.ClientWidth(), 336);
  EXPECT_EQ(form.ClientHeight(), 239);
  EXPECT_EQ(form.LabelName.Caption(), "Zavro-RT/ZL2, TCP/IP v.1.101");
  EXPECT_EQ(form.LabelVersion.Caption(), "1.101 - 2007/08/20");
  EXPECT_EQ(form.ActivityLabel.Caption(), ".........");
  EXPECT_EQ(form.EventList.Count(), 0u);
  EXPECT_EQ(form.Thread, nullptr);
  EXPECT_EQ(form.Di.Services, &form);
  EXPECT_EQ(form.Components().size(), 11u);
}

TEST(Driver, AddEventKeepsTheTwelveNewestLines) {
  Driver form;
  for (int i = 1; i <= 13; ++i) form.AddEvent(std::to_string(i));
  auto lines = form.EventList.Lines();
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines.front(), "2");
  EXPECT_EQ(lines.back(), "13");
}

TEST(Driver, AboutAddsItsSixLinesUnderTheRule) {
  Driver form;
  for (int i = 0; i < 12; ++i) form.AddEvent("old");
  form.ClickButton("About");
  auto lines = form.EventList.Lines();
  ASSERT_EQ(lines.size(), 12u);
  std::vector<std::string> about(lines.end() - 6, lines.end());
  EXPECT_EQ(about, (std::vector<std::string>{" ", "Zavro-RT/ZL2, TCP/IP v.1.101",
                                             Cp("Komunikační ovladač pro Halvex 3.x/2000/5.x"),
                                             Cp("Knihovna WIN32DLL (testováno ve W98/NT/2000/XP)"),
                                             Cp("Verze ovladače: 1.101 - 2007/08/20"), " "}));
  EXPECT_FALSE(form.ClickButton("Other"));
}

TEST(Driver, WindowCommandsOfDriverProcAndQueryProc) {
  struct Step {
    const char *what;
    bool query;
    int code, p1, p2;
    bool visible;
    WindowState state;
  };
  const Step steps[] = {
      {"show", false, 1, 0, 0, true, WindowState::Normal},
      {"minimize", false, 2, 0, 0, true, WindowState::Minimized},
      {"restore", false, 3, 0, 0, true, WindowState::Normal},
      {"hide", false, 0, 0, 0, false, WindowState::Normal},
      {"unknown code", false, 7, 0, 0, false, WindowState::Normal},
      {"query show", true, 8, 1, 0, true, WindowState::Normal},
      {"query minimize", true, 8, 0, 0, true, WindowState::Minimized},
      {"query code 7", true, 7, 2, 0, true, WindowState::Minimized},
      {"query unknown param", true, 8, 3, 0, true, WindowState::Minimized},
      {"query hide", true, 8, 2, 0, false, WindowState::Minimized},
  };
  Driver form;
  for (const Step &s : steps) {
    if (s.query) {
      form.QueryProc(s.code, s.p1);
    } else {
      form.DriverProc(s.code, s.p1, s.p2);
    }
    EXPECT_EQ(form.Visible(), s.visible) << s.what;
    EXPECT_EQ(form.State(), s.state) << s.what;
  }
  EXPECT_EQ(form.EventList.Count(), 0u);
}

TEST(Driver, DriverProcMovesFocusesAndSetsTheLoginLevel) {
  Driver form;
  form.DriverProc(5, 100, 50);
  EXPECT_EQ(form.Left(), 100);
  EXPECT_EQ(form.Top(), 50);

  form.DriverProc(4, 0, 0);  // hidden: the focus is refused
  EXPECT_FALSE(form.Focused());
  form.DriverProc(1, 0, 0);
  form.DriverProc(4, 0, 0);
  EXPECT_TRUE(form.Focused());

  form.DriverProc(6, 3, 0);
  EXPECT_EQ(form.LoginLevel, 3);
  ASSERT_EQ(form.EventList.Count(), 1u);
  EXPECT_EQ(form.EventList.Lines()[0], Cp("Nová úroveň přihlášení = 3"));
  form.DriverProc(6, -12, 0);
  EXPECT_EQ(form.EventList.Lines()[1], Cp("Nová úroveň přihlášení = -12"));

  form.ClickButton("ButtonMin");
  EXPECT_EQ(form.State(), WindowState::Minimized);
}

TEST(Driver, AddToMemoHandsOverThePendingLineOnce) {
  test::TempDir dir;
  Driver form;
  form.Di.Log.Enable();
  form.AddToMemo();  // nothing waiting: no line, no debug line
  EXPECT_EQ(form.EventList.Count(), 0u);
  form.PostEvent(std::string(300, 'e'));  // on the host's thread it runs at once
  ASSERT_EQ(form.EventList.Count(), 1u);
  EXPECT_EQ(form.EventList.Lines()[0], std::string(255, 'e'));
  EXPECT_TRUE(form.Di.PendingEvent.empty());
  std::string log = test::TempDir::Read(dir.File("ZLNETDRV.LOG"));
  EXPECT_NE(log.find(" AddToMemo : eee"), std::string::npos);
  EXPECT_EQ(log.find("\r\n"), log.size() - 2);  // exactly one line
}

TEST(StatusLabels, ActivityIndicatorCountsDotsThenStartsAgain) {
  Driver form;
  Label &activityLabel = form.ActivityLabel;
  activityLabel.SetCaption("klid");
  std::vector<std::string> seen;
  for (int tick = 0; tick < 8; ++tick) {
    StepActivityIndicator(activityLabel, 1, 0);
    seen.push_back(activityLabel.Caption());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"klid.", "klid..", "klid...", "klid....", "klid.....",
                                            "klid......", ".", ".."}));
  StepActivityIndicator(activityLabel, 0, 2);
  EXPECT_EQ(activityLabel.Caption(), "...");
  StepActivityIndicator(activityLabel, 0, 0);
  EXPECT_EQ(activityLabel.Caption(), "klid");
}

TEST(StatusLabels, QueueStatusChangesTheCaptionOnlyWhenTheTextDiffers) {
  Driver form;
  EXPECT_TRUE(ShowQueueStatus(form.QueueStatusLabel, "a\rb"));
  EXPECT_FALSE(ShowQueueStatus(form.QueueStatusLabel, "a\rb"));
  EXPECT_EQ(form.QueueStatusLabel.Caption(), "a\rb");
}

TEST(StatusWindowJson, DescribesTheWindowInUtf8) {
  Driver form;
  form.DriverProc(6, 3, 0);
  form.AddEvent("quote \" back \\ tab \t");
  form.QueueStatusLabel.SetCaption("P\rS");
  form.DriverProc(1, 0, 0);

  test::JsonValue v;
  ASSERT_TRUE(test::ParseJson(form.StatusJson(), v)) << form.StatusJson();
  EXPECT_EQ(v["caption"].string, "ZLNETDRV");
  EXPECT_TRUE(v["visible"].boolean);
  EXPECT_EQ(v["state"].string, "normal");
  EXPECT_FALSE(v["focused"].boolean);
  EXPECT_EQ(v["left"].number, 308);
  EXPECT_EQ(v["width"].number, 336);
  EXPECT_EQ(v["height"].number, 239);
  EXPECT_EQ(v["labels"]["LabelName"].string, "Zavro-RT/ZL2, TCP/IP v.1.101");
  EXPECT_EQ(v["labels"]["Label1"].string, "P\rS");
  EXPECT_EQ(v["labels"]["LabelCredit"].type, test::JsonValue::String);
  EXPECT_EQ(v["buttons"]["ButtonMin"].string, "Mi&nimalizovat");
  ASSERT_EQ(v["events"].array.size(), 2u);
  EXPECT_EQ(v["events"][0].string, "Nová úroveň přihlášení = 3");  // back in UTF-8
  EXPECT_EQ(v["events"][1].string, "quote \" back \\ tab \t");

  const test::JsonValue &components = v["components"];
  ASSERT_EQ(components.object.size(), 11u);
  EXPECT_EQ(components.object.front().first, "LabelName");
  EXPECT_EQ(components.object.back().first, "ButtonMin");
  const test::JsonValue &events = components["EventList"];
  EXPECT_EQ(events["left"].number, 8);
  EXPECT_EQ(events["top"].number, 64);
  EXPECT_EQ(events["width"].number, 321);
  EXPECT_EQ(events["height"].number, 137);
  EXPECT_EQ(events["font"]["name"].string, "Small Fonts");
  EXPECT_EQ(events["font"]["height"].number, 9);
  EXPECT_TRUE(components["LabelName"]["font"]["bold"].boolean);
  EXPECT_EQ(components["ImageIcon"]["font"].type, test::JsonValue::Null);
  EXPECT_EQ(components["ImageIcon"]["hint"].string, "Double-click for help");
  EXPECT_EQ(components["About"]["hint"].string, "Info about product");
}

}  // namespace
}  // namespace zl
