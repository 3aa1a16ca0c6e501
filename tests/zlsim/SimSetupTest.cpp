// Configuration, command line, endpoint rewriting and start-up errors.
#include <cstring>

#include "SimFixture.h"
#include "zlsim/SimCommandLine.h"

namespace zl::test {
namespace {

using sim::CommandLine;
using sim::ParseCommandLine;

TEST(CommandLineOptions, AreParsedAndCheckedForRange) {
  CommandLine cl;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({"demo.par",
                                "--dead",
                                "2",
                                "--dead=3",
                                "--drop",
                                "0.25",
                                "--corrupt=1",
                                "--noise",
                                "0",
                                "--split",
                                "--delay",
                                "40",
                                "--baud",
                                "9600",
                                "--error-every",
                                "5",
                                "--active-every",
                                "1.5",
                                "--close-after",
                                "7",
                                "--seed",
                                "99",
                                "--trace",
                                "--stats",
                                "--static",
                                "--bind",
                                "127.0.0.1",
                                "--ephemeral"},
                               cl, error))
      << error;
  EXPECT_EQ(cl.ParameterFile, "demo.par");
  EXPECT_EQ(cl.Options.Dead, (std::vector<int>{2, 3}));
  EXPECT_DOUBLE_EQ(cl.Options.Faults.Drop, 0.25);
  EXPECT_DOUBLE_EQ(cl.Options.Faults.Corrupt, 1.0);
  EXPECT_TRUE(cl.Options.Faults.Split);
  EXPECT_EQ(cl.Options.Faults.DelayMs, 40);
  EXPECT_EQ(cl.Options.Faults.Baud, 9600);
  EXPECT_EQ(cl.Options.Faults.ErrorEvery, 5);
  EXPECT_DOUBLE_EQ(cl.Options.Faults.ActiveEverySeconds, 1.5);
  EXPECT_EQ(cl.Options.Faults.CloseAfter, 7);
  EXPECT_EQ(cl.Options.Seed, 99u);
  EXPECT_TRUE(cl.Trace && cl.Options.Stats && cl.Options.Static && cl.Options.Ephemeral);
  EXPECT_EQ(cl.Options.BindAddress, "127.0.0.1");

  struct Bad {
    std::vector<std::string> args;
    const char *message;
  } bad[] = {
      {{}, "no parameter file"},
      {{"a.par", "--drop", "1.5"}, "fraction"},
      {{"a.par", "--noise", "-0.1"}, "fraction"},
      {{"a.par", "--dead", "0"}, "whole number"},
      {{"a.par", "--delay"}, "needs a value"},
      {{"a.par", "--baud", "fast"}, "whole number"},
      {{"a.par", "--active-every", "0"}, "seconds"},
      {{"a.par", "--frobnicate"}, "unknown option"},
      {{"a.par", "b.par"}, "only one"},
  };
  for (const Bad &b : bad) {
    SCOPED_TRACE(b.message);
    EXPECT_FALSE(ParseCommandLine(b.args, cl, error));
    EXPECT_NE(error.find(b.message), std::string::npos) << error;
  }
}

TEST(EndpointRewriting, ReplacesPortsAndAddressesOnlyWhereMapped) {
  std::string text =
      "{ PORT 4001 in a comment }\r\n"
      "[GLOBAL]\r\n  PREFIX NONE\r\nEND\r\n"
      "[STATION]\r\n  NAME \"PORT 4001\"\r\n  IP \"192.0.2.10\"\r\n  PORT 4001\r\nEND\r\n"
      "[STATION]\r\n  PORT $0FA2 IP \"192.0.2.11\"\r\nEND\r\n"
      "[STATION]\r\n  IP \"192.0.2.12\"\r\n  PORT 4001\r\nEND\r\n";
  std::vector<sim::EndpointMapping> map = {{"192.0.2.10", 4001, "127.0.0.1", 40123},
                                           {"", 4002, "", 40124}};
  std::string expected =
      "{ PORT 4001 in a comment }\r\n"
      "[GLOBAL]\r\n  PREFIX NONE\r\nEND\r\n"
      "[STATION]\r\n  NAME \"PORT 4001\"\r\n  IP \"127.0.0.1\"\r\n  PORT 40123\r\nEND\r\n"
      "[STATION]\r\n  PORT 40124 IP \"192.0.2.11\"\r\nEND\r\n"
      "[STATION]\r\n  IP \"192.0.2.12\"\r\n  PORT 4001\r\nEND\r\n";
  EXPECT_EQ(sim::RewriteEndpoints(text, map), expected);
}

TEST(StartUp, AddressesThatAreNotLocalNeedBind) {
  ParameterSet config = TestConfig();
  for (auto &st : config.Stations) st.Ip = "192.0.2.10";
  sim::SimOptions options;
  options.Ephemeral = true;
  std::string error;
  {
    sim::Simulator sim(config, options);
    EXPECT_FALSE(sim.Start(error));
    EXPECT_NE(error.find("192.0.2.10"), std::string::npos) << error;
    EXPECT_NE(error.find("--bind"), std::string::npos) << error;
  }
  options.BindAddress = "127.0.0.1";
  sim::Simulator sim(config, options);
  EXPECT_TRUE(sim.Start(error)) << error;
  auto mappings = sim.Mappings();
  ASSERT_EQ(mappings.size(), 2u);
  EXPECT_EQ(mappings[0].ConfiguredIp, "192.0.2.10");
  EXPECT_EQ(mappings[0].ActualIp, "127.0.0.1");
  EXPECT_EQ(mappings[0].ActualPort, sim.ActualPort(4001));
}

TEST(StartUp, BadSettingsAreRefusedWithAMessage) {
  struct Case {
    const char *what;
    std::function<void(ParameterSet &, sim::SimOptions &)> change;
    const char *message;
  } cases[] = {
      {"station without an IP", [](auto &c, auto &) { c.Stations[2].Ip = ""; }, "station 3"},
      {"bind address that is not IPv4", [](auto &, auto &o) { o.BindAddress = "localhost"; },
       "--bind"},
      {"dead station out of range", [](auto &, auto &o) { o.Dead = {4}; }, "--dead 4"},
      {"two endpoints on one port after --bind",
       [](auto &c, auto &o) {
         o.Ephemeral = false;
         o.BindAddress = "127.0.0.1";
         c.Stations[2].Ip = "127.0.0.2";
         c.Stations[2].Port = 4001;
       },
       "--ephemeral"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ParameterSet config = TestConfig();
    sim::SimOptions options;
    options.Ephemeral = true;
    c.change(config, options);
    sim::Simulator sim(config, options);
    std::string error;
    EXPECT_FALSE(sim.Start(error));
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_FALSE(sim.Running());
  }
}

}  // namespace
}  // namespace zl::test
