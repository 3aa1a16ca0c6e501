// The pieces of zlpoll in-process: its command line, the values it writes,
// the status window it reads back from the driver's JSON, the groups of a
// station, and the small texts it draws.
#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>

#include "zlpoll/DriverLib.h"
#include "zlpoll/Groups.h"
#include "zlpoll/Options.h"
#include "zlpoll/Output.h"
#include "zlpoll/ParamFile.h"
#include "zlpoll/ParamText.h"
#include "zlpoll/Screen.h"
#include "zlpoll/StatusWindow.h"
#include "zlpoll/Values.h"

namespace zl::poll {
namespace {

TEST(CommandLine, OptionsStandAnywhereAmongTheWords) {
  Options o;
  std::string error;
  ASSERT_TRUE(ParseCommandLine(
      {"-1", "f.par", "read", "--interval", "250", "1", "bi", "--timeout=2.5", "ai", "--json"}, o,
      error))
      << error;
  EXPECT_TRUE(o.Once);
  EXPECT_TRUE(o.Json);
  EXPECT_EQ(o.IntervalMs, 250);
  EXPECT_EQ(o.TimeoutSeconds, 2.5);
  EXPECT_EQ(o.ParameterFile, "f.par");
  EXPECT_EQ(o.Command, "read");
  EXPECT_EQ(o.Args, (std::vector<std::string>{"1", "bi", "ai"}));

  ASSERT_TRUE(
      ParseCommandLine({"f.par", "samples", "2", "--block", "3", "--alt", "--out", "d"}, o, error));
  EXPECT_EQ(o.Block, 3);
  EXPECT_TRUE(o.Alt);
  EXPECT_EQ(o.OutDir, "d");
  ASSERT_TRUE(ParseCommandLine({"--demo", "--duration", "7"}, o, error));
  EXPECT_TRUE(o.Demo);
  EXPECT_EQ(o.DurationSeconds, 7.0);
  ASSERT_TRUE(ParseCommandLine({"f.par", "set", "--", "-1"}, o, error));
  EXPECT_EQ(o.Args, (std::vector<std::string>{"-1"})) << "words after -- are no options";
}

TEST(CommandLine, MistakesAreNamed) {
  const struct {
    std::vector<std::string> Args;
    const char *Says;
  } kCases[] = {
      {{}, "no parameter file"},
      {{"f.par", "--interval"}, "--interval needs a value"},
      {{"f.par", "--interval", "-5"}, "from 0 to 3600000"},
      {{"f.par", "--timeout", "0"}, "above 0"},
      {{"f.par", "--block", "4"}, "from 1 to 3"},
      {{"f.par", "--station", "101"}, "from 1 to 100"},
      {{"--demo", "f.par"}, "brings its own"},
      {{"f.par", "-x"}, "unknown option -x"},
  };
  for (const auto &k : kCases) {
    Options o;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(k.Args, o, error)) << k.Says;
    EXPECT_NE(error.find(k.Says), std::string::npos) << error;
  }
}

TEST(Values, CommandLineTextsBecomeTheValueBytesOfTheirType) {
  const struct {
    const char *Text;
    uint32_t Type;
    bool Ok;
    uint64_t Bytes;
  } kCases[] = {
      {"1", ZL_TYPE_BOOL, true, 1},
      {"on", ZL_TYPE_BOOL, true, 1},
      {"false", ZL_TYPE_BOOL, true, 0},
      {"2", ZL_TYPE_BOOL, false, 0},
      {"255", ZL_TYPE_U8, true, 0xFF},
      {"256", ZL_TYPE_U8, false, 0},
      {"010", ZL_TYPE_U8, true, 10},  // decimal, never octal
      {"0x10", ZL_TYPE_U8, true, 16},
      {"-1", ZL_TYPE_I8, true, 0xFF},
      {"-129", ZL_TYPE_I8, false, 0},
      {"65535", ZL_TYPE_U16, true, 0xFFFF},
      {"-32768", ZL_TYPE_I16, true, 0x8000},
      {"4294967295", ZL_TYPE_U32, true, 0xFFFFFFFF},
      {"-2147483648", ZL_TYPE_I32, true, 0x80000000},
      {"3.5", ZL_TYPE_SINGLE, true, std::bit_cast<uint32_t>(3.5f)},
      {"-1e3", ZL_TYPE_DOUBLE, true, std::bit_cast<uint64_t>(-1000.0)},
      {"12,5", ZL_TYPE_DOUBLE, false, 0},
      {"nan", ZL_TYPE_DOUBLE, false, 0},
      {"abc", ZL_TYPE_TEXT, false, 0},
      {"1", ZL_TYPE_BUFFER, false, 0},
  };
  for (const auto &k : kCases) {
    uint64_t bytes = 0;
    std::string error;
    EXPECT_EQ(EncodeValue(k.Text, k.Type, bytes, error), k.Ok) << k.Text << " " << k.Type;
    if (k.Ok) {
      EXPECT_EQ(bytes, k.Bytes) << k.Text;
    } else {
      EXPECT_FALSE(error.empty());
    }
  }
}

TEST(Values, ShownForPeopleAndForScripts) {
  Value v;
  v.Type = ZL_TYPE_DOUBLE;
  v.Number = 0.1;
  EXPECT_EQ(ShowValue(v), "0.1");
  EXPECT_EQ(JsonText(JsonValue(v)), "0.1");
  v.Number = 400000;
  EXPECT_EQ(JsonText(JsonValue(v)), "400000") << "whole numbers without an exponent";
  v.Number = 1.0 / 3;
  EXPECT_EQ(ShowValue(v), "0.333333");
  EXPECT_EQ(std::strtod(JsonText(JsonValue(v)).c_str(), nullptr), 1.0 / 3) << "reads back exactly";
  v.Type = ZL_TYPE_BOOL;
  v.Number = 1;
  EXPECT_EQ(JsonText(JsonValue(v)), "true");
  v.Type = ZL_TYPE_TEXT;
  v.Text = "a\"b\\c\x01   ";
  EXPECT_EQ(ShowValue(v), "a\"b\\c\x01");
  EXPECT_EQ(JsonText(JsonValue(v)), "\"a\\\"b\\\\c\\u0001   \"");
  v.Text = "dir\xE9";  // a path in another code page: still one valid line of JSON
  EXPECT_EQ(JsonText(JsonValue(v)), "\"dir\xEF\xBF\xBD\"");
}

TEST(StatusWindowView, TakesLabelsAndEventsFromTheDriversJson) {
  const std::string json =
      R"({"caption":"ZLNETDRV","visible":false,"left":308,"labels":{"LabelName":"x",)"
      R"("Label1":"Primární fronta : 0\r\nSekundární : 2","Label2":"klid"},)"
      R"("buttons":{"About":"&Info"},"events":["Inicializace OK","\u0041B \"q\""],)"
      R"("components":{"Label1":{"left":80,"font":{"name":"Small Fonts","size":9}}}})";
  const StatusWindow w = ParseStatusWindow(json);
  EXPECT_EQ(w.Caption, "ZLNETDRV");
  EXPECT_EQ(w.QueueStatusLabel, "Primární fronta : 0\r\nSekundární : 2");
  EXPECT_EQ(OneLine(w.QueueStatusLabel), "Primární fronta : 0 Sekundární : 2");
  EXPECT_EQ(w.ActivityLabel, "klid");
  EXPECT_EQ(w.Events, (std::vector<std::string>{"Inicializace OK", "AB \"q\""}));
  EXPECT_TRUE(ParseStatusWindow(R"({"labels":{"Label1":"x")").Events.empty());
  EXPECT_EQ(ParseStatusWindow(R"({"labels":{"Label1":)").QueueStatusLabel, "")
      << "cut text: nothing";
  EXPECT_EQ(OneLine("      <<<-- KOTELNA - BI  "), "<<<-- KOTELNA - BI");
}

TEST(StatusWindowView, NewEventsAreThoseBehindWhatWasShown) {
  using Lines = std::vector<std::string>;
  const struct {
    Lines Before, Now, New;
  } kCases[] = {
      {{"a", "b", "c"}, {"b", "c", "d"}, {"d"}},  // the list dropped its oldest line
      {{"a", "b"}, {"a", "b"}, {}},
      {{}, {"a"}, {"a"}},
      {{"a", "b"}, {"c", "d"}, {"c", "d"}},  // everything replaced
      {{"x", "x"}, {"x", "x", "x"}, {"x"}},
  };
  for (const auto &k : kCases) EXPECT_EQ(NewEvents(k.Before, k.Now), k.New);
  StatusWindow w;
  w.Events = {"Inicializace TCP", "Chyba TCP 1", "Inicializace TCP", "Socket"};
  EXPECT_EQ(EventsAfter(w, "Inicializace TCP"), (Lines{"Socket"}));
}

TEST(ParamTextEdit, ReplacesAGlobalValueAndNothingElse) {
  const std::string text =
      "{ ANSWER_TIME in a comment }\r\n[GLOBAL]\r\n  ANSWER_TIME  2.5   { s }\r\n"
      "  SLEEP_TIMEX 1\r\nEND\r\n[STATION]\r\n  ANSWER_TIME 9\r\nEND\r\n";
  const std::string edited = SetGlobalValue(text, "ANSWER_TIME", "0.5");
  EXPECT_EQ(edited,
            "{ ANSWER_TIME in a comment }\r\n[GLOBAL]\r\n  ANSWER_TIME  0.5   { s }\r\n"
            "  SLEEP_TIMEX 1\r\nEND\r\n[STATION]\r\n  ANSWER_TIME 9\r\nEND\r\n");
  EXPECT_EQ(SetGlobalValue(text, "SLEEP_TIME", "3"), text) << "SLEEP_TIMEX is another word";
  EXPECT_EQ(SetGlobalValue(text, "IDLE_TIME", "1"), text);
}

TEST(LibrarySearch, AnExplicitPathOrTheEnvironmentIsTheOnlyCandidate) {
  EXPECT_EQ(DriverLibrary::Candidates("/x/lib.so"), (std::vector<std::string>{"/x/lib.so"}));
  const char *saved = std::getenv("ZLNETDRV_LIBRARY");
  const std::string keep = saved ? saved : "";
  ::setenv("ZLNETDRV_LIBRARY", "/y/lib.so", 1);
  EXPECT_EQ(DriverLibrary::Candidates(""), (std::vector<std::string>{"/y/lib.so"}));
  ::unsetenv("ZLNETDRV_LIBRARY");
  const auto found = DriverLibrary::Candidates("");
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found.back(), "libzlnetdrv.so.1") << "the system's search comes last";
  if (saved) ::setenv("ZLNETDRV_LIBRARY", keep.c_str(), 1);
  std::string error;
  EXPECT_EQ(DriverLibrary::Load("/nonexistent/libzlnetdrv.so.1", error), nullptr);
  EXPECT_NE(error.find("--driver PATH"), std::string::npos);
}

TEST(StationGroups, AllIsWhatTheStationHas) {
  ParamFile file;
  std::string error;
  ASSERT_TRUE(file.Load(std::string(ZL_SOURCE_DIR) + "/examples/demo.par", error)) << error;
  std::vector<Group> groups;
  ASSERT_TRUE(SelectGroups(*file.At(1), 1, {"all"}, groups, error)) << error;
  EXPECT_EQ(groups,
            (std::vector<Group>{Group::BI, Group::AI, Group::CT, Group::MI, Group::MB, Group::QQ}))
      << "every group the driver reads: outputs are not read back";
  ASSERT_TRUE(SelectGroups(*file.At(3), 3, {"ALL", "bi"}, groups, error)) << error;
  EXPECT_EQ(groups, (std::vector<Group>{Group::BI, Group::AI, Group::CT}))
      << "no memory outputs to read with mo, no blocks, no variables; bi once";
  const ReadPlan qq = PlanOf(*file.At(1), Group::QQ);
  EXPECT_EQ(qq.Requests, (std::vector<uint16_t>{2500, 2501, 2502, 2503, 2504, 2506}))
      << "the WRITE variable 2505 is not read";
  EXPECT_EQ(PlanOf(*file.At(2), Group::AIK).Commands, (std::vector<uint16_t>{960}));
  EXPECT_EQ(PlanOf(*file.At(2), Group::AIK).Flag, 967);
  const auto items = ItemsOf(*file.At(1), Group::MB);
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[2].Label, "1.3");
  EXPECT_EQ(items[2].Channel, 3002);
  EXPECT_EQ(items[2].Type, static_cast<uint32_t>(ZL_TYPE_DOUBLE));
  EXPECT_EQ(items[2].Kind, "REAL OUTPUT");
}

TEST(Drawing, WidthsCountCharactersNotBytesOrColours) {
  EXPECT_EQ(DisplayWidth("čtení"), 5u);
  EXPECT_EQ(DisplayWidth(Style(true).Green("1")), 1u);
  EXPECT_EQ(Pad("ž", 3), "ž  ");
  EXPECT_EQ(Pad("7", 3, true), "  7");
  EXPECT_EQ(ProgressBar(0, 528, 8), "[........]  0/528 rows");
  EXPECT_EQ(ProgressBar(264, 528, 8), "[####....]  264/528 rows");
  EXPECT_EQ(ProgressBar(999, 528, 8), "[########]  528/528 rows");
  const auto lines = SideBySide({"ab", "c"}, {"x", "y", "z"}, 80);
  EXPECT_EQ(lines, (std::vector<std::string>{"ab   x", "c    y", "     z"}));
  EXPECT_EQ(SideBySide({"ab"}, {"x"}, 20), (std::vector<std::string>{"ab", "", "x"}))
      << "too narrow: one below the other";
}

}  // namespace
}  // namespace zl::poll
