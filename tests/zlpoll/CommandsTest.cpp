// zlpoll as its users run it: every command against the simulated line, the
// printed values checked against the simulator's controllers, the exit codes
// of a bad file, a dead station, a refused gateway and a wrong command line.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <iomanip>
#include <sstream>

#include "PollLine.h"
#include "support/Bytes.h"
#include "support/HostSession.h"
#include "util/Encodings.h"

namespace zl::test {
namespace {

// Station 1 (KOTELNA) with ORIGINAL_CHANNELS.
constexpr int kStation1 = 1, kStation3 = 3;

// A line of the reading table: the group, the object and channel columns
// right-aligned under their headers, the value.
std::string TableRow(const std::string &group, int object, int channel, int value) {
  std::ostringstream line;
  line << group << std::string(7 - group.size(), ' ') << std::setw(6) << object << "  "
       << std::setw(7) << channel << "  " << value << "\n";
  return line.str();
}

class Zlpoll : public PollLine {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(Start()); }

  // Known values in the controller of station 1, in every group read.
  void SetKnownValues() {
    sim::ControllerModel &c = Controller(kStation1);
    for (int k = 0; k < 16; ++k) c.SetBinaryInput(k, k % 3 == 0);
    demo::SetQqNumbers(c);
    for (uint8_t part = 0; part < 8; ++part) c.SetQqBytes(0, 17, part, {'A', 'B', 'C', 'D'});
    c.SetMemory(0x300, Bytes({0x34, 0x12, 0xFF, 0xFF, 0x41, 0x40, 0x00, 0x99}));
    c.SetMemory(0x320, Bytes({1, 2, 3, 4, 0xFE, 0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0xFF}));
  }

  // The demonstration line with station 1's gateway on a port nobody
  // listens on (bound, then closed): the connection is refused at once.
  std::string ClosedGatewayPar() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(s);
    return dir_.Write(
        "closed.par",
        sim::RewriteEndpoints(TempDir::Read(Par()), {{"", Config(1).Port, "", ntohs(a.sin_port)}}));
  }

  double Little(int station, uint16_t address, int n) {
    uint32_t x = 0;
    const std::string bytes = Controller(station).Memory(address, static_cast<std::size_t>(n));
    std::memcpy(&x, bytes.data(), static_cast<std::size_t>(n));
    return x;
  }
};

TEST_F(Zlpoll, ReadPrintsEveryGroupAsTheControllerHoldsIt) {
  SetKnownValues();
  const auto readings = RunJson({Par(), "read", "1", "all", "-1"});
  ASSERT_EQ(readings.size(), 1u);
  const JsonValue &r = readings[0];
  EXPECT_TRUE(r["ok"].boolean) << r["error"].string;
  EXPECT_EQ(r["name"].string, "KOTELNA");
  sim::ControllerModel &c = Controller(kStation1);
  const StationConfig &st = Config(kStation1);
  for (int i = 1; i <= st.NumBinarIn; ++i) {  // inputs 3 and 4 are inverted in the file
    const JsonValue *o = FindObject(r, "bi", std::to_string(i));
    ASSERT_TRUE(o) << "bi " << i;
    EXPECT_EQ((*o)["channel"].number, i);
    EXPECT_EQ((*o)["value"].boolean, c.BinaryInput(i - 1) != st.BinarInXor[i]) << "bi " << i;
  }
  for (int i = 1; i <= st.NumAnalogIn; ++i) {  // the "N" analog block at DEF_ANALOG_IN_ADDR
    const JsonValue *o = FindObject(r, "ai", std::to_string(i));
    ASSERT_TRUE(o) << "ai " << i;
    EXPECT_EQ((*o)["value"].number, DecodeReal3(c.Memory(st.AnalogInAddr + 3 * (i - 1), 3)));
  }
  for (int i = 1; i <= st.NumMemoryIn; ++i) {  // ARRAY: consecutive 3-byte reals
    const JsonValue *o = FindObject(r, "mi", std::to_string(i));
    ASSERT_TRUE(o) << "mi " << i;
    EXPECT_EQ((*o)["value"].number, DecodeReal3(c.Memory(st.MemoryIn[1].Address + 3 * (i - 1), 3)));
  }
  const struct {
    const char *Object;
    double Value;
  } kVariables[] = {
      {"0.16.0", 200},    {"0.16.1", 0x1234},    {"0.16.3", -2},
      {"0.16.5", 123456}, {"0.16.9", 123456789},
  };
  for (const auto &v : kVariables) {
    const JsonValue *o = FindObject(r, "qq", v.Object);
    ASSERT_TRUE(o) << v.Object;
    EXPECT_EQ((*o)["value"].number, v.Value) << v.Object;
  }
  std::string text;
  for (int part = 0; part < 8; ++part) text += "ABCD";
  EXPECT_EQ((*FindObject(r, "qq", "0.17.0"))["value"].string, text);
  EXPECT_EQ((*FindObject(r, "mb", "1.1"))["value"].number, 0x1234);
  EXPECT_EQ((*FindObject(r, "mb", "1.2"))["value"].number, 0xFFFF);
  EXPECT_EQ((*FindObject(r, "mb", "1.3"))["value"].number, 2.5);
  EXPECT_EQ((*FindObject(r, "mb", "1.4"))["value"].number, 0x99);
  EXPECT_EQ((*FindObject(r, "mb", "2.1"))["value"].number, Little(kStation1, 0x320, 4));
  EXPECT_EQ((*FindObject(r, "mb", "2.3"))["value"].number, -16);
  EXPECT_EQ(FindObject(r, "qq", "0.16.13"), nullptr) << "a WRITE variable is not read";
}

TEST_F(Zlpoll, ReadPrintsATableForPeople) {
  SetKnownValues();
  const ChildResult r = Run({Par(), "read", "1", "bi", "qq", "-1"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const StationConfig &st = Config(kStation1);
  for (int i = 1; i <= st.NumBinarIn; ++i) {
    const int value = Controller(kStation1).BinaryInput(i - 1) != st.BinarInXor[i];
    EXPECT_NE(r.Out.find(TableRow("bi", i, i, value)), std::string::npos) << i << "\n" << r.Out;
  }
  EXPECT_NE(r.Out.find("KOTELNA (station 1)"), std::string::npos);
  EXPECT_NE(r.Out.find("0.16.5     2503  123456"), std::string::npos) << r.Out;
}

// The counters of every station of the demonstration line read the
// controller's counts: the driver settles the counts it reads only for a
// station with a PHONE number (the value of a REAL counter is factor x count).
TEST_F(Zlpoll, EveryStationsCountersReadTheControllersCounts) {
  for (int n = 1; n <= file_.StationCount(); ++n) {
    sim::ControllerModel &c = Controller(n);
    for (int k = 0; k < 8; ++k) c.SetCounter(k, static_cast<uint16_t>(10 * (k + 1) + n));
    const auto readings = RunJson({Par(), "read", std::to_string(n), "ct", "-1"});
    ASSERT_EQ(readings.size(), 1u);
    const StationConfig &st = Config(n);
    ASSERT_GT(st.NumCounterIn, 0) << n;
    for (int i = 1; i <= st.NumCounterIn; ++i) {
      const CounterDef &def = st.Counters[i];
      const double start = def.Kind == 1 ? 0.0 : FromReal6(def.StartValue);
      const JsonValue *o = FindObject(readings[0], "ct", std::to_string(i));
      ASSERT_TRUE(o) << "station " << n << " ct " << i;
      EXPECT_NEAR((*o)["value"].number, start + FromReal6(def.Factor) * c.Counter(i - 1), 1e-9)
          << "station " << n << " ct " << i;
      EXPECT_NE((*o)["value"].number, 0.0) << "station " << n << " ct " << i;
    }
  }
}

// Station 3 has a PHONE number: its binary outputs are written with the
// group write since a single output write queues nothing there.
TEST_F(Zlpoll, DialUpStationOutputs) {
  sim::ControllerModel &c = Controller(kStation3);
  const ChildResult w = Run({Par(), "write", "3", "bo", "2=1", "4=1", "--others-off"});
  ASSERT_EQ(w.Exit, 0) << w.Err;
  EXPECT_FALSE(c.BinaryOutput(0));
  EXPECT_TRUE(c.BinaryOutput(1));
  EXPECT_TRUE(c.BinaryOutput(3));
}

TEST_F(Zlpoll, WritesReachTheController) {
  sim::ControllerModel &c = Controller(kStation1);
  c.SetMemory(0x205, Bytes({0x55}));  // memory output 3 (BYTE); the driver holds 0
  struct Case {
    std::vector<std::string> Args;
  };
  const Case kCases[] = {
      {{"bo", "1=1", "2=0", "3=1", "4=0", "5=0", "6=0", "7=0", "8=0"}},
      {{"mo", "1=12.5", "2=300", "3=0"}},
      {{"qq", "2505=3.7", "2501=250"}},
      {{"mb", "3000=4660", "3002=2.5"}},
  };
  for (const Case &k : kCases) {
    std::vector<std::string> args = {Par(), "write", "1"};
    args.insert(args.end(), k.Args.begin(), k.Args.end());
    const ChildResult r = Run(args);
    EXPECT_EQ(r.Exit, 0) << k.Args[0] << ": " << r.Err;
    EXPECT_NE(r.Out.find("written " + k.Args[0] + " " + k.Args[1]), std::string::npos) << r.Out;
  }
  EXPECT_TRUE(c.BinaryOutput(0));
  EXPECT_FALSE(c.BinaryOutput(1));
  EXPECT_TRUE(c.BinaryOutput(2));
  EXPECT_EQ(HexOf(c.Memory(0x200, 3)), HexOf(EncodeReal3(12.5).view()));
  EXPECT_EQ(HexOf(c.Memory(0x203, 2)), "2C 01");
  EXPECT_EQ(HexOf(c.Memory(0x205, 1)), "00") << "a value equal to the driver's is still sent";
  EXPECT_EQ(c.QqBytes(0, 16, 13), (sim::QqValue{0xCD, 0xCC, 0x6C, 0x40}));
  EXPECT_EQ(c.QqBytes(0, 16, 1), (sim::QqValue{250, 0, 0, 0}));
  EXPECT_EQ(HexOf(c.Memory(0x300, 2)), "34 12");
  EXPECT_EQ(HexOf(c.Memory(0x304, 3)), HexOf(EncodeReal3(2.5).view()));

  const auto json = RunJson({Par(), "write", "1", "qq", "2504=-7"});
  ASSERT_EQ(json.size(), 1u);
  EXPECT_TRUE(json[0]["ok"].boolean);
  EXPECT_EQ(json[0]["written"][0].string, "qq 2504=-7");
  EXPECT_EQ(c.QqBytes(0, 16, 9), (sim::QqValue{0xF9, 0xFF, 0xFF, 0xFF})) << "LONGINT as 32 bits";
}

// The driver sends a station's binary outputs together, from the values it
// holds, and a fresh zlpoll holds 0 for each: an output the user did not
// name is never sent, unless --others-off says that the others go off.
TEST_F(Zlpoll, AWriteNeverSendsAnOutputTheUserDidNotName) {
  sim::ControllerModel &c = Controller(kStation1);
  c.SetBinaryOutput(0, true);
  c.SetBinaryOutput(1, true);
  for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
           {"write", "1", "bo", "3=1"},
           {"set", "99=1:bool", "--station", "1"},
           {"set", "462=1:bool", "--station", "1"},  // out_write_BO sends them all
       }) {
    std::vector<std::string> full = args;
    full.insert(full.begin(), Par());
    const ChildResult r = Run(full);
    EXPECT_EQ(r.Exit, 2) << args[0] << " " << args[1] << ": " << r.Out;
    EXPECT_NE(r.Err.find("--others-off"), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out, "");
  }
  EXPECT_TRUE(c.BinaryOutput(0) && c.BinaryOutput(1) && !c.BinaryOutput(2)) << "nothing was sent";

  const ChildResult off = Run({Par(), "write", "1", "bo", "3=1", "--others-off"});
  ASSERT_EQ(off.Exit, 0) << off.Err;
  EXPECT_NE(off.Out.find("written bo 1=0"), std::string::npos) << off.Out;
  EXPECT_TRUE(!c.BinaryOutput(0) && !c.BinaryOutput(1) && c.BinaryOutput(2));
}

TEST_F(Zlpoll, GetAndSetAnyChannel) {
  sim::ControllerModel &c = Controller(kStation1);
  c.SetQqBytes(0, 16, 0, {77, 0, 0, 0});
  const ChildResult set = Run({Par(), "set", "2501=321:u16", "--station", "1"});
  ASSERT_EQ(set.Exit, 0) << set.Err;
  EXPECT_EQ(c.QqBytes(0, 16, 1), (sim::QqValue{0x41, 0x01, 0, 0}));

  const auto readings = RunJson({Par(), "get", "2500:u8", "2501", "456:text", "490", "65532:buffer",
                                 "1:bool", "--station", "1", "-1"});
  ASSERT_EQ(readings.size(), 1u);
  const JsonValue &values = readings[0]["values"];
  ASSERT_EQ(values.array.size(), 6u);
  EXPECT_EQ(values[0]["value"].number, 77);          // read fresh: a QQ variable
  EXPECT_EQ(values[1]["value"].number, 321);         // the value the driver holds
  EXPECT_EQ(values[2]["value"].string, "<line 1>");  // Video text 1
  EXPECT_EQ(values[3]["value"].number, 0);           // nothing queued any more
  EXPECT_EQ(values[4]["value"].string, "9 66 0x00000000") << "no sample buffer handed over";
  EXPECT_EQ(values[5]["value"].boolean, false) << "binary inputs are read by read, not get";
}

TEST_F(Zlpoll, SamplesFillTheHostBufferAndWriteTheFile) {
  const std::string out = dir_.File("out");
  const ChildResult r = Run({Par(), "samples", "1", "--block", "1", "--out", out});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_NE(r.Out.find("528/528 rows"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("(16368 bytes)"), std::string::npos) << r.Out;
  std::vector<std::filesystem::path> copies;
  for (const auto &e : std::filesystem::directory_iterator(out)) copies.push_back(e.path());
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].extension(), ".CUC");
  const std::string file = TempDir::Read(copies[0].string());
  ASSERT_EQ(file.size(), 16368u);
  // Row 1 as the controller holds it, its time stamp decoded from BCD.
  const sim::SampleRowBytes row = Controller(kStation1).SampleRow(0);
  for (int k = 0; k < 31; ++k) {
    EXPECT_EQ(static_cast<uint8_t>(file[static_cast<std::size_t>(k)]),
              k < 6 ? BcdValue(row[static_cast<std::size_t>(k)]) : row[static_cast<std::size_t>(k)])
        << "byte " << k;
  }
  // cuc reads the file back: every row's time stamp and values as the
  // controller held them.
  const ChildResult csv = Run({"cuc", copies[0].string()});
  ASSERT_EQ(csv.Exit, 0) << csv.Err;
  std::istringstream lines(csv.Out);
  std::string line;
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line, "file,row,time,status,v1,v2,v3,v4,v5,v6,v7,v8");
  int rowsSeen = 0;
  while (std::getline(lines, line)) {
    const sim::SampleRowBytes held = Controller(kStation1).SampleRow(rowsSeen);
    std::ostringstream expected;
    expected << copies[0].string() << "," << ++rowsSeen << "," << std::setfill('0');
    for (int k = 0; k < 6; ++k)
      expected << std::setw(2) << int{BcdValue(held[static_cast<std::size_t>(k)])}
               << (k == 2   ? " "
                   : k == 5 ? ","
                   : k < 2  ? "-"
                            : ":");
    expected << int{held[6]};
    const std::string prefix = expected.str();
    ASSERT_EQ(line.substr(0, prefix.size()), prefix) << line;
    std::istringstream values(line.substr(prefix.size()));
    for (int v = 0; v < 8; ++v) {
      double value = 0;
      char comma = 0;
      values >> comma >> value;
      EXPECT_EQ(value, DecodeReal3(std::string_view(
                           reinterpret_cast<const char *>(held.data()) + 7 + 3 * v, 3)))
          << "row " << rowsSeen << " value " << v + 1;
    }
  }
  EXPECT_EQ(rowsSeen, 528);
  EXPECT_EQ(Run({"cuc", Par()}).Exit, 1);  // not a sample file

  const auto json = RunJson({Par(), "samples", "2", "--block", "2", "--alt"});
  ASSERT_EQ(json.size(), 1u);
  EXPECT_EQ(json[0]["rows"].number, 528);
  EXPECT_EQ(json[0]["bytes"].number, 16368);
}

TEST_F(Zlpoll, InfoListsWhatTheDriverReads) {
  const auto info = RunJson({Par(), "info"});
  ASSERT_EQ(info.size(), 1u);
  const JsonValue &stations = info[0]["stations"];
  ASSERT_EQ(stations.array.size(), 3u);
  EXPECT_EQ(stations[0]["name"].string, "KOTELNA");
  EXPECT_EQ(stations[0]["groups"]["bi"]["first"].number, 1);
  EXPECT_EQ(stations[1]["groups"]["bi"]["first"].number, 501);
  EXPECT_EQ(stations[2]["status"]["out_connect_modem"].number, 1476);
  EXPECT_EQ(stations[2]["dials"].boolean, true);
  EXPECT_EQ(stations[0]["qq"][0]["channel"].number, 2500);
  EXPECT_EQ(stations[0]["blocks"][1]["read"].number, 3199);
  EXPECT_EQ(info[0]["global"]["answerTime"].number, 2.5);

  // A group the driver can never read as the file configures it, or some of
  // whose objects it never reads, is named so.
  std::string edited = TempDir::Read(Par());
  edited.replace(edited.find("NUM_BINAR_IN   16"), 17, "NUM_BINAR_IN   12");
  edited.erase(edited.find("PHONE          0601000006"), 25);
  const auto limits = RunJson({dir_.Write("limits.par", edited), "info"});
  ASSERT_EQ(limits.size(), 1u);
  const JsonValue &bi = limits[0]["stations"][0]["groups"]["bi"];
  EXPECT_EQ(bi["read"].string, "partly");
  EXPECT_NE(bi["notes"].string.find("9-12"), std::string::npos) << bi["notes"].string;
  const JsonValue &ct = limits[0]["stations"][1]["groups"]["ct"];
  EXPECT_EQ(ct["read"].string, "no");
  EXPECT_NE(ct["notes"].string.find("PHONE"), std::string::npos) << ct["notes"].string;

  const ChildResult text = Run({Par()});  // info is the default
  ASSERT_EQ(text.Exit, 0) << text.Err;
  EXPECT_NE(text.Out.find("station 2  VYMENIK"), std::string::npos) << text.Out;
  EXPECT_NE(text.Out.find("out_connect_modem   976"), std::string::npos) << text.Out;
}

// info, read and write share one list of groups: every group info shows is a
// group read takes, read as info says (or refused with the reason), and
// written when info says so.
TEST_F(Zlpoll, InfoReadAndWriteShareOneListOfGroups) {
  const auto info = RunJson({Par(), "info"});
  ASSERT_EQ(info.size(), 1u);
  int refused = 0;
  for (std::size_t s = 0; s < info[0]["stations"].array.size(); ++s) {
    const std::string station = std::to_string(s + 1);
    for (const auto &[group, row] : info[0]["stations"][s]["groups"].object) {
      const ChildResult r = Run({Par(), "read", station, group, "-1", "--timeout", "30"});
      const std::string what = "station " + station + " " + group + ": " + r.Err;
      if (row["read"].string == "no") {
        ++refused;
        EXPECT_EQ(r.Exit, 2) << what;
        EXPECT_NE(r.Err.find("cannot be read"), std::string::npos) << what;
      } else {
        EXPECT_EQ(r.Exit, 0) << what;
      }
      const ChildResult w = Run({Par(), "write", station, group, "0=0"});
      EXPECT_EQ(w.Err.find("write takes") == std::string::npos, row["write"].boolean) << w.Err;
    }
  }
  EXPECT_GT(refused, 0) << "the binary outputs at least are not read back";
}

// The driver's message in the user's language (English unless the locale or
// --lang says Czech); check shows where the file goes wrong.
TEST_F(Zlpoll, ABadParameterFileIsExitCodeOneWithTheDriversMessage) {
  const std::string bad = dir_.Write("bad.par", "[STATION]\r\n  ADDRESS 5\r\nEND\r\n");
  for (const char *command : {"info", "read"}) {
    const ChildResult r = Run({bad, command, "1", "bi"});
    EXPECT_EQ(r.Exit, 1) << command;
    EXPECT_NE(r.Err.find("Missing section definition [GLOBAL]"), std::string::npos) << r.Err;
  }
  const ChildResult checked = Run({bad, "check"});
  EXPECT_EQ(checked.Exit, 1);
  EXPECT_NE(checked.Out.find("bad.par:1:1: changed: \"[STATION]\" stands outside a section"),
            std::string::npos)
      << checked.Out;
  EXPECT_NE(checked.Out.find("bad.par:4:1: refused: Missing section definition [GLOBAL]"),
            std::string::npos)
      << checked.Out;
  EXPECT_EQ(Run({std::string(ZL_SOURCE_DIR) + "/examples/demo.par", "check"}).Exit, 0);

  const std::string noStation =
      dir_.Write("global.par",
                 "[GLOBAL] PREFIX NONE SUFFIX NONE PRESUFFIX NONE ADDRESS 0 ANSWER_TIME 1 "
                 "DEF_ANALOG_IN_ADDR 0 END");
  const ChildResult r = Run({noStation, "--lang", "cs"});
  EXPECT_EQ(r.Exit, 1);
  EXPECT_NE(r.Err.find("Chybí definice skupiny [STATION]"), std::string::npos) << r.Err;
}

TEST_F(Zlpoll, UsageErrorsAreExitCodeTwoAndSayWhatToWrite) {
  const struct {
    std::vector<std::string> Args;
    const char *Hint;
  } kCases[] = {
      {{}, "no parameter file"},
      {{"@", "frobnicate"}, "use info, check, read"},
      {{"@", "read", "9", "bi"}, "from 1 to 3"},
      {{"@", "read", "1", "xx"}, "use bi bo ai"},
      {{"@", "read", "3", "mi"}, "use mo"},
      {{"@", "read", "1", "mo"}, "not read back"},
      {{"@", "write", "1", "mb", "3003=1"}, "INPUT"},
      {{"@", "write", "1", "bo", "9=1"}, "has 8"},
      {{"@", "write", "1", "qq", "2506=1"}, "STRING"},
      {{"@", "set", "2501=x:u16"}, "whole number"},
      {{"@", "get", "2501:word"}, "unknown type"},
      {{"@", "samples", "1"}, "--block"},
      {{"@", "--timeout", "soon", "info"}, "seconds"},
      {{"@", "--bogus"}, "unknown option"},
  };
  for (const auto &k : kCases) {
    std::vector<std::string> args = k.Args;
    for (std::string &a : args)
      if (a == "@") a = Par();
    const ChildResult r = Run(args);
    EXPECT_EQ(r.Exit, 2) << k.Hint;
    EXPECT_NE(r.Err.find(k.Hint), std::string::npos) << r.Err;
  }
}

// A command does what it says, or says on standard error why not, with a
// non-zero exit code and nothing on standard output to take for a value.
TEST_F(Zlpoll, CommandsNeverClaimWhatTheyDidNotDo) {
  sim::ControllerModel &c = Controller(kStation1);
  c.SetQqBytes(0, 16, 0, {9, 0, 0, 0});
  const struct {
    std::vector<std::string> Args;
    int Exit;
    const char *Why;
  } kCases[] = {
      {{"set", "2600=77"}, 2, "--station"},                 // nothing would carry it
      {{"set", "1=1:bool", "--station", "1"}, 2, "input"},  // the driver ignores it
      {{"set", "472=1", "--station", "1"}, 2, "bool"},      // a command takes a bool
      {{"write", "1", "qq", "2500=5"}, 2, "READ"},          // a READ variable
      {{"set", "2500=5", "--station", "1"}, 2, "READ"},
      {{"get", "2501", "--station", "1", "-1", "--timeout", "30"}, 3, "TCP error"},
      {{"read", "1", "qq", "-1", "--timeout", "30"}, 3, "TCP error"},
  };
  const std::string closed = ClosedGatewayPar();
  for (const auto &k : kCases) {
    std::vector<std::string> args = k.Args;
    args.insert(args.begin(), k.Exit == 3 ? closed : Par());
    const ChildResult r = Run(args);
    EXPECT_EQ(r.Exit, k.Exit) << k.Args[0] << " " << k.Args[1] << ": " << r.Err;
    EXPECT_NE(r.Err.find(k.Why), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out, "") << k.Args[0] << " " << k.Args[1];
  }
  EXPECT_EQ(c.QqBytes(0, 16, 0), (sim::QqValue{9, 0, 0, 0})) << "the READ variable kept its value";
  const auto json = RunJson({closed, "get", "2501", "--station", "1", "-1", "--timeout", "30"}, 3);
  ASSERT_EQ(json.size(), 1u);
  EXPECT_FALSE(json[0]["ok"].boolean);
  EXPECT_TRUE(json[0]["values"].array.empty()) << "no values without an answer";
}

TEST_F(Zlpoll, ASilentStationIsExitCodeThree) {
  line_.Sim->SetDead(kStation1, true);
  // The connection comes first, within the same --timeout: enough for it on a
  // busy machine, and short of the station's sleep.
  const ChildResult r = Run({Par(), "read", "1", "bi", "-1", "--timeout", "4"});
  EXPECT_EQ(r.Exit, 3) << r.Err;
  EXPECT_NE(r.Err.find("did not answer within 4 s"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("--timeout"), std::string::npos) << "says what to do next";
  const auto json = RunJson({Par(), "read", "1", "qq", "-1", "--timeout", "3"}, 3);
  ASSERT_EQ(json.size(), 1u);
  EXPECT_FALSE(json[0]["ok"].boolean);
  // No answer has brought a value: none is shown, however the driver reset it.
  ASSERT_FALSE(json[0]["objects"].array.empty());
  for (const JsonValue &o : json[0]["objects"].array)
    EXPECT_EQ(o["value"].type, JsonValue::Null) << o["channel"].number;
}

// A station that stops answering keeps the values its last answer brought,
// each marked stale, until it answers again.
TEST_F(Zlpoll, AStationThatStopsAnsweringShowsItsLastValuesStale) {
  ChildProcess child(ZLPOLL_PROGRAM,
                     {"--drive-c", dir_.path(), Par(), "read", "1", "bi", "--json", "--interval",
                      "100", "--timeout", "3"},
                     Env());
  ASSERT_TRUE(child.Started());
  std::vector<JsonValue> readings;
  // The readings printed so far, complete lines only.
  auto parse = [&](const std::string &out) {
    readings.clear();
    std::istringstream lines(out.substr(0, out.rfind('\n') + 1));
    for (std::string line; std::getline(lines, line);) {
      JsonValue v;
      if (ParseJson(line, v)) readings.push_back(v);
    }
  };
  ASSERT_TRUE(child.WaitForOutput(
      [&](const std::string &out) {
        parse(out);
        return !readings.empty();
      },
      60));
  ASSERT_TRUE(readings[0]["ok"].boolean) << readings[0]["error"].string;
  const JsonValue answered = readings[0];
  line_.Sim->SetDead(kStation1, true);
  ASSERT_TRUE(child.WaitForOutput(
      [&](const std::string &out) {
        parse(out);
        return !readings.back()["ok"].boolean;
      },
      60));
  child.Signal(SIGINT);
  child.Wait(60);
  const JsonValue &silent = readings.back();
  ASSERT_EQ(silent["objects"].array.size(), answered["objects"].array.size());
  for (std::size_t i = 0; i < silent["objects"].array.size(); ++i) {
    const JsonValue &o = silent["objects"].array[i];
    EXPECT_TRUE(o["stale"].boolean) << o["channel"].number;
    EXPECT_EQ(o["value"].type, JsonValue::Bool);
    EXPECT_EQ(o["value"].boolean, answered["objects"].array[i]["value"].boolean);
  }
}

TEST_F(Zlpoll, AGatewayThatRefusesIsExitCodeThreeAtOnce) {
  const ChildResult r = Run({ClosedGatewayPar(), "read", "1", "bi", "-1", "--timeout", "30"});
  EXPECT_EQ(r.Exit, 3);
  EXPECT_NE(r.Err.find("TCP error 10061"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("is the gateway running"), std::string::npos) << r.Err;
}

TEST_F(Zlpoll, ADriverThatCannotBeLoadedIsExitCodeOne) {
  const ChildResult r = Run({Par(), "read", "1", "bi", "--driver", dir_.File("none.so")});
  EXPECT_EQ(r.Exit, 1);
  EXPECT_NE(r.Err.find("--driver PATH"), std::string::npos) << r.Err;
}

// Without --driver or ZLNETDRV_LIBRARY, zlpoll of the build tree finds the
// library two folders up, as it is built.
TEST_F(Zlpoll, FindsTheLibraryOfItsBuildTree) {
  std::vector<std::string> env = {"ZLNETDRV_LIBRARY="};
  const ChildResult r =
      RunChild(ZLPOLL_PROGRAM, {"--drive-c", dir_.path(), Par(), "get", "490", "-1"}, env);
  EXPECT_EQ(r.Exit, 0) << r.Err;
}

// Ctrl-C ends a repeated reading normally: Done runs (its line in the debug
// log on drive C:) and the exit code is that of the last reading.
TEST_F(Zlpoll, CtrlCEndsARepeatedReadingThroughDone) {
  ChildProcess child(ZLPOLL_PROGRAM,
                     {"--drive-c", dir_.path(), Par(), "read", "1", "bi", "--interval", "100"},
                     Env());
  ASSERT_TRUE(child.Started());
  ASSERT_TRUE(child.WaitForOutput(
      [](const std::string &out) { return out.find("reading 2") != std::string::npos; }, 60));
  child.Signal(SIGINT);
  const ChildResult r = child.Wait(60);
  EXPECT_EQ(r.Exit, 0) << r.Err;
  EXPECT_NE(TempDir::Read(dir_.File("ZLNETDRV.LOG")).find("done : end"), std::string::npos);
}

TEST_F(Zlpoll, WatchPrintsPlainLinesWhenNotOnATerminal) {
  const ChildResult r = Run({Par(), "watch", "1", "bi", "-1"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const int bi1 = Controller(kStation1).BinaryInput(0) != Config(kStation1).BinarInXor[1];
  EXPECT_NE(r.Out.find(TableRow("bi", 1, 1, bi1)), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("Label1: "), std::string::npos);
  EXPECT_NE(r.Out.find("Label2: "), std::string::npos);
  EXPECT_NE(r.Out.find("event: TCP initialisation"), std::string::npos) << r.Out;
  const auto json = RunJson({Par(), "watch", "1", "ai", "-1"});
  ASSERT_EQ(json.size(), 1u);
  EXPECT_TRUE(json[0]["status"]["label1"].type == JsonValue::String);
  EXPECT_FALSE(json[0]["status"]["events"].array.empty());
}

TEST(ZlpollDemo, RunsForItsDurationAndEndsWithZero) {
  TempDir dir;
  const ChildResult r = RunChild(ZLPOLL_PROGRAM, {"--demo", "--duration", "5"},
                                 {"ZLNETDRV_LIBRARY=" ZLNETDRV_LIBRARY_FILE}, 60);
  EXPECT_EQ(r.Exit, 0) << r.Err;
  EXPECT_NE(r.Out.find("== step 1/4"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("demo over:"), std::string::npos) << r.Out;
}

}  // namespace
}  // namespace zl::test
