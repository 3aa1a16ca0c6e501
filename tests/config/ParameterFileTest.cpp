// The load as a whole: sections, the failure table, defaults, events, the
// example files and hostile input.
#include "driver/ParameterLoad.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "support/ConfigFixture.h"
#include "util/Text.h"

namespace zl {
namespace {

using test::ConfigFixture;
using test::Cp;
using test::Crlf;
using test::GlobalSection;
using test::StationSection;

TEST(ParameterFile, FailureTableByteForByte) {
  std::string g = GlobalSection(), s = StationSection();
  std::string noPort = s;
  noPort.erase(noPort.find(" PORT"), std::string(" PORT 4001\r\n").size());
  std::string many = g;
  for (int i = 0; i < 101; ++i) many += StationSection("", i % 250 + 1);
  struct Case {
    const char *what;
    std::string file;
    bool ok;
    int stations;
    const char *message;
  } cases[] = {
      {"no [GLOBAL]", s, false, 0, "Chybí definice skupiny [GLOBAL]"},
      {"[GLOBAL] without END", Crlf("[GLOBAL]\nPREFIX NONE\n"), false, 0,
       "Chybí END na konci skupiny [GLOBAL]"},
      {"required global missing", Crlf("[GLOBAL] PREFIX NONE SUFFIX NONE END\n") + s, false, 0,
       "Chybná definice proměnné PRESUFFIX / [GLOBAL]"},
      {"no [STATION]", g, false, 0, "Chybí definice skupiny [STATION]"},
      {"END of [GLOBAL] the very last word",
       Crlf("[GLOBAL] PREFIX NONE SUFFIX NONE PRESUFFIX NONE "
            "ADDRESS 0 ANSWER_TIME 1 DEF_ANALOG_IN_ADDR 0 END"),
       false, 0, "Chybí definice skupiny [STATION]"},
      {"only station without END", g + s.substr(0, s.rfind("END")), false, 0,
       "Chybí END na konci skupiny [STATION]"},
      {"only station without PORT", g + noPort, false, 0,
       "Chybná definice proměnné PORT / [STATION]"},
      {"third station without PORT", g + s + s + noPort + s, true, 3,
       "Chybná definice proměnné PORT / [STATION]"},
      {"third station without END", g + s + s + s.substr(0, s.rfind("END")), true, 3,
       "Chybí END na konci skupiny [STATION]"},
      {"a 101st station", many, true, 100, "Prekrocen maximalni pocet stanic"},
  };
  for (const Case &c : cases) {
    ConfigFixture f;
    EXPECT_EQ(f.Load(c.file), c.ok) << c.what;
    EXPECT_EQ(f.Di.StationCount, c.stations) << c.what;
    EXPECT_EQ(f.Error(), Cp(c.message)) << c.what;
  }
}

TEST(ParameterFile, SectionsAndKeywords) {
  ConfigFixture f;
  // A station before [GLOBAL] and a second [GLOBAL] between stations are
  // skipped; lower-case keywords are keywords; a keyword as a value is a value.
  std::string file = StationSection("", 77) + GlobalSection("address 9") +
                     StationSection("PHONE END\naddress 3", 1) +
                     Crlf("[GLOBAL]\nADDRESS 1\nEND\n") + StationSection("", 2);
  ASSERT_TRUE(f.Load(file)) << f.Error();
  EXPECT_EQ(f.Di.StationCount, 2);
  EXPECT_EQ(f.Di.Global.Address, 9);
  EXPECT_EQ(f.St(1).Address, 3);
  EXPECT_EQ(f.St(1).Phone.str(), "END");
  EXPECT_EQ(f.St(2).Address, 2);

  // A station whose END is missing runs into the next section: the header
  // there is an unknown item and the keywords fill the same station.
  std::string s1 = StationSection("", 1);
  ASSERT_TRUE(f.Load(GlobalSection() + s1.substr(0, s1.rfind("END")) + StationSection("", 5)));
  EXPECT_EQ(f.Di.StationCount, 1);
  EXPECT_EQ(f.St(1).Address, 5);

  // END inside a comment and "END}" do not end a section.
  ASSERT_TRUE(f.Load(GlobalSection("{ no END here } END}\r\nSILENCE_WAIT 7") + StationSection()));
  EXPECT_EQ(f.Di.Global.SilenceWait, 7);
}

TEST(ParameterFile, EventLinesOfALoad) {
  ConfigFixture f;
  ASSERT_TRUE(f.Load(GlobalSection() + StationSection("PHONE 123", 1) +
                     StationSection("QQ READ 9 1 2 3 BYTE", 2)));
  EXPECT_EQ(f.Services.Lines(),
            (std::vector<std::string>{"GLOBAL info OK.", "STANICE ST1 123", "STANICE ST2 ",
                                      "  -> QQ/blok -> Zavro-Line2"}));
  // Without services the load still runs.
  DriverInstance di;
  std::string error;
  EXPECT_TRUE(test::LoadConfigText(di, GlobalSection() + StationSection(), &error)) << error;
}

TEST(ParameterFile, DefaultsAndTheStationReset) {
  ConfigFixture f;
  ASSERT_TRUE(
      f.Load(GlobalSection() + StationSection("DEF_COUNTER_IN 3 DAY 1 42.5 DEF_COUNTER_END")));
  const GlobalSettings &g = f.Di.Global;
  EXPECT_EQ(g.SilenceWait, 0);
  EXPECT_EQ(g.NumTolvinError, 1);
  EXPECT_EQ(FromReal6(g.SleepTime), 0.0);
  EXPECT_EQ(g.SleepCount, 100);
  EXPECT_EQ(g.IdleTime, 10);
  EXPECT_EQ(g.CucPath.str(), "C:\\");
  EXPECT_FALSE(g.StayInQueueOnTimeout);
  EXPECT_DOUBLE_EQ(FromReal6(g.AnswerTime), 2.5);

  for (int n : {1, 2, 100}) {
    const Station &st = f.St(n);
    if (n > 1) {
      EXPECT_EQ(st.Name.str(), "NAME_" + std::to_string(n));
    }
    EXPECT_EQ(FromReal6(st.AnalogLimits[64].High), 100.0);
    EXPECT_STREQ(st.TextLines[0], "<line 1>");
    EXPECT_STREQ(st.TextLines[3], "<line 4>");
  }
  EXPECT_DOUBLE_EQ(FromReal6(f.St(1).CounterValues[3]), 42.5);
  EXPECT_EQ(f.Di.Sample.StationNumber, 1);
  EXPECT_EQ(f.Di.Sample.TransferStation, 1);
  EXPECT_EQ(f.Di.Sample.Block, 1);
  EXPECT_EQ(f.Di.Sample.RowIndex, 1);
  EXPECT_EQ(f.Di.Sample.Busy, 0);
  for (int row : {0, kSampleRows - 1}) {
    const uint8_t *b = f.Di.Sample.Table[row].Bytes;
    for (int i = 0; i < kSampleRowSize; ++i) EXPECT_EQ(b[i], i >= 7 && i % 4 == 3 ? 3 : 0) << i;
  }

  ASSERT_TRUE(f.Load(GlobalSection("STAY_IN_QUEUE_ON_TIMEOUT 0\r\nSTOP_SELF_READING x") +
                     StationSection()));
  EXPECT_TRUE(f.Di.Global.StayInQueueOnTimeout);
}

TEST(ParameterFile, CucPath) {
  ConfigFixture f;
  std::filesystem::create_directories(f.Dir.File("cuc"));
  std::string native = f.Dir.File("native");
  std::filesystem::create_directories(native);
  struct Case {
    std::string value, stored;
  } cases[] = {
      {"\"C:\\cuc\"", "C:\\CUC\\"},
      {"\"C:\\cuc\\\"", "C:\\CUC\\"},
      {"\"C:\\missing\\\"", "C:\\"},
      {"NONE", "C:\\"},
      {"\"" + native + "\"", AsciiUpper(native) + "\\"},
  };
  for (const Case &c : cases) {
    ASSERT_TRUE(f.Load(GlobalSection("CUC_PATH " + c.value) + StationSection())) << c.value;
    EXPECT_EQ(f.Di.Global.CucPath.str(), c.stored) << c.value;
  }
}

TEST(ParameterFile, UnreadableFilesFailWithAMessage) {
  ConfigFixture f;
  std::string prefix = Cp("Nelze načíst parametrický soubor ");
  std::string directory = f.Dir.File("dir.par");
  std::filesystem::create_directories(directory);
  for (const std::string &name : {f.Dir.File("missing.par"), directory, std::string()}) {
    EXPECT_FALSE(f.LoadNamed(name)) << name;
    EXPECT_EQ(f.Error(), (prefix + name).substr(0, 80)) << name;
  }
  // A Windows path reaches the file through drive C:.
  f.Dir.Write("ZAVRO.PAR", GlobalSection() + StationSection());
  EXPECT_TRUE(f.LoadNamed("C:\\zavro.par")) << f.Error();
}

TEST(ParameterFile, ExampleFilesLoad) {
  for (const char *name : {"demo.par", "minimal.par"}) {
    ConfigFixture f;
    std::string path = std::string(ZL_SOURCE_DIR) + "/examples/" + name;
    std::string text = test::TempDir::Read(path);
    ASSERT_FALSE(text.empty()) << path;
    EXPECT_EQ(Crlf(text), text) << name << " has a bare LF";
    ASSERT_TRUE(f.LoadNamed(path)) << name << ": " << f.Error();
  }
  ConfigFixture f;
  ASSERT_TRUE(f.LoadNamed(std::string(ZL_SOURCE_DIR) + "/examples/demo.par"));
  ASSERT_EQ(f.Di.StationCount, 3);
  std::set<int> qqTypes;
  std::size_t blocks = 0;
  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(f.St(n).Ip.str(), "127.0.0.1");
    EXPECT_EQ(f.St(n).GroupChannels[kGroupBI], (n - 1) * 500 + 1);
    for (const QqVariable &v : f.St(n).QqVariables) qqTypes.insert(v.Type);
    blocks += f.St(n).MemoryBlocks.size();
  }
  EXPECT_EQ(qqTypes.size(), 7u);
  EXPECT_EQ(blocks, 2u);
  EXPECT_EQ(f.Di.Global.Prefix.size(), 2u);
  EXPECT_EQ(f.Di.Global.Suffix.size(), 1u);
  EXPECT_TRUE(f.Di.Global.PreSuffix.empty());
}

// A Linux user writes LF line ends: the README's own example loads with
// them as with CR LF, and a file with bare LF line ends gets an event line
// (a text value there takes the next line with it).
TEST(ParameterFile, TheReadmeExampleLoadsWithEitherLineEndAndABareLfIsShown) {
  const std::string readme = test::TempDir::Read(std::string(ZL_SOURCE_DIR) + "/README.md");
  const std::size_t section = readme.find("## The parameter file in brief");
  ASSERT_NE(section, std::string::npos);
  const std::size_t open = readme.find("```\n", section);
  ASSERT_NE(open, std::string::npos);
  const std::size_t close = readme.find("```\n", open + 4);
  ASSERT_NE(close, std::string::npos);
  const std::string lf = readme.substr(open + 4, close - open - 4);
  const std::string warning = Cp1250(
      "Parametrický soubor má konce řádků LF bez CR: text v uvozovkách si bere i následující "
      "řádek");
  for (const std::string &text : {lf, Crlf(lf)}) {
    const bool bare = text == lf;
    SCOPED_TRACE(bare ? "LF" : "CR LF");
    ConfigFixture f;
    ASSERT_TRUE(f.Load(text)) << f.Error();
    EXPECT_EQ(f.St(1).Name.str(), "KOTELNA");
    EXPECT_EQ(f.St(1).NumBinarIn, 16);
    EXPECT_EQ(f.St(1).Port, 4001);
    const std::vector<std::string> events = f.Services.Lines();
    EXPECT_EQ(std::count(events.begin(), events.end(), warning), bare ? 1 : 0);
  }
}

TEST(ParameterFile, HostileFilesNeitherCrashNorHang) {
  std::string tenThousandQq;
  for (int i = 0; i < 10000; ++i)
    tenThousandQq += "QQ READ " + std::to_string(i) + " 1 2 3 WORD\r\n";
  struct Case {
    const char *what;
    std::string file;
  } cases[] = {
      {"empty", ""},
      {"NUL bytes", std::string(1 << 20, '\0')},
      {"10 MB line", std::string(10 << 20, 'x')},
      {"10 MB line after a text keyword",
       GlobalSection() + "[STATION] NAME \"" + std::string(10 << 20, 'y')},
      {"unterminated comment", GlobalSection() + "[STATION] { ADDRESS 1"},
      {"unterminated quote", GlobalSection() + StationSection("NAME \"open")},
      {"list keywords at the end", GlobalSection() + "[STATION] MEMORY_BLOCK TYPES BYTE"},
      {"10000 QQ lines", GlobalSection() + StationSection(tenThousandQq)},
  };
  for (const Case &c : cases) {
    ConfigFixture f;
    f.Load(c.file);
    EXPECT_LE(std::string(f.Di.ErrorText).size(), 80u) << c.what;
    EXPECT_LE(f.Di.StationCount, 1) << c.what;
  }
  ConfigFixture f;
  ASSERT_TRUE(f.Load(GlobalSection() + StationSection(tenThousandQq)));
  EXPECT_EQ(f.St(1).QqVariables.size(), 10000u);
  EXPECT_EQ(f.St(1).Name.str(), "ST1");
}

}  // namespace
}  // namespace zl
