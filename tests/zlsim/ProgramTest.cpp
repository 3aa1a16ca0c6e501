// The parameter file read by the driver's loader, and the zlsim program run
// on the demonstration line.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

#include "SimFixture.h"
#include "support/TestSupport.h"

extern char **environ;

namespace zl::test {
namespace {

const std::string kDemo = std::string(ZL_SOURCE_DIR) + "/examples/demo.par";

TEST(DemoLine, LoadsTheStationsAsTheDriverReadsThem) {
  std::string error;
  const auto sim = sim::Simulator::FromParameterFile(kDemo, {}, error);
  ASSERT_NE(sim, nullptr) << error;
  const ParameterSet &c = sim->Config();
  EXPECT_EQ(c.Global.Prefix.str(), "\x02\x02");
  EXPECT_EQ(c.Global.Suffix.str(), "\r");
  EXPECT_EQ(c.Global.PreSuffix.str(), "");
  EXPECT_EQ(c.Global.Address, 0);
  ASSERT_EQ(sim->StationCount(), 3);
  const StationConfig &k = sim->Station(1)->Config();
  EXPECT_EQ(k.Name.str(), "KOTELNA");
  EXPECT_EQ(k.Address, 5);
  EXPECT_EQ(k.AnalogInAddr, 40) << "FROM_GLOBAL";
  ASSERT_EQ(k.NumMemoryIn, 4);
  EXPECT_EQ(k.MemoryIn[4].Address, 0x0109);
  EXPECT_EQ(k.MemoryIn[4].Type, kMemReal);
  EXPECT_TRUE(k.MemoryInBlockRead);
  const StationConfig &v = sim->Station(2)->Config();
  ASSERT_EQ(v.NumMemoryIn, 3);
  EXPECT_EQ(v.MemoryIn[2].Address, 0x0112);
  EXPECT_EQ(v.MemoryIn[2].Type, kMemByte);
  EXPECT_FALSE(v.MemoryInBlockRead);
  ASSERT_EQ(k.NumMemoryOut, 3);
  EXPECT_EQ(k.MemoryOut[2].Type, kMemWord);
  ASSERT_EQ(k.QqVariables.size(), 7u);
  EXPECT_EQ(k.QqVariables[6].Type, kQqString);
  EXPECT_EQ(k.QqVariables[6].Address[1], 17);
  ASSERT_EQ(k.MemoryBlocks.size(), 2u);
  EXPECT_EQ(k.MemoryBlocks[0].Address, 0x0300);
  EXPECT_EQ(k.MemoryBlocks[0].ItemTypes.str(), std::string("\x02\x02\x06\x01", 4));
  EXPECT_EQ(sim->Station(3)->Config().Phone.str(), "0601234567");
  EXPECT_EQ(sim->Station(3)->Config().Port, 4002);
  EXPECT_EQ(sim->Station(3)->Number(), 3);

  EXPECT_EQ(sim::Simulator::FromParameterFile("/nonexistent/zl.par", {}, error), nullptr);
  EXPECT_FALSE(error.empty());
}

TEST(DemoLine, RewrittenPortsLoadBack) {
  TempDir dir;
  std::string text = TempDir::Read(kDemo);
  std::string rewritten =
      sim::RewriteEndpoints(text, {{"127.0.0.1", 4001, "", 50001}, {"127.0.0.1", 4002, "", 50002}});
  ParameterSet c;
  std::string error;
  ASSERT_TRUE(ReadParameterFile(dir.Write("demo.par", rewritten), c, error)) << error;
  ASSERT_EQ(c.Stations.size(), 3u);
  EXPECT_EQ(c.Stations[0].Port, 50001);
  EXPECT_EQ(c.Stations[1].Port, 50001);
  EXPECT_EQ(c.Stations[2].Port, 50002);
  EXPECT_EQ(rewritten.size(), text.size() + 3) << "only the three PORT values changed";
}

// zlsim as a child process with its standard output in a pipe.
class Program {
 public:
  explicit Program(std::vector<std::string> args) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    args.insert(args.begin(), ZLSIM_PROGRAM);
    std::vector<char *> argv;
    for (auto &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, ZLSIM_PROGRAM, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    out_ = fds[0];
  }
  ~Program() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  // The next line of output, empty after ten seconds without one.
  std::string Line() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (true) {
      std::size_t nl = buffer_.find('\n');
      if (nl != std::string::npos) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        return line;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      deadline - std::chrono::steady_clock::now())
                      .count();
      pollfd p{out_, POLLIN, 0};
      if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return {};
      char chunk[1024];
      ssize_t n = ::read(out_, chunk, sizeof chunk);
      if (n <= 0) return {};
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }
  // Sends the signal and answers the exit status (-1 when it did not exit).
  int Stop(int sig) {
    ::kill(pid_, sig);
    for (int i = 0; i < 1000; ++i) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

TEST(DemoLine, ProgramServesAConnectionWithTraceAndEndsOnSigterm) {
  Program zlsim({kDemo, "--trace", "--ephemeral", "--stats"});
  std::map<int, int> ports;
  for (std::string line = zlsim.Line(); line != "READY"; line = zlsim.Line()) {
    ASSERT_FALSE(line.empty()) << "no READY";
    int configured = 0, actual = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "PORT %d %d", &configured, &actual), 2) << line;
    ports[configured] = actual;
  }
  ASSERT_EQ(ports.size(), 2u);

  // A "K" request of station 1 (address 5) from driver address 0, framed
  // with PREFIX 02 02, no PRESUFFIX and SUFFIX CR.
  WireClient client(static_cast<uint16_t>(ports[4001]));
  std::string message = Bytes({0, 7, 'Y', 0, 5, 0, 'K', 255});
  uint8_t x = 0;
  for (char ch : message) x ^= static_cast<uint8_t>(ch);
  client.Send("\x02\x02" + message + static_cast<char>(x) + "\r");
  std::string answer = client.ReadMessage("\x02\x02", 1);
  ASSERT_EQ(answer.size(), 6u + 2u + 24u + 1u);
  EXPECT_EQ(answer.substr(0, 8), Bytes({0, 31, 'Y', 0, 0, 5, 'K', 255}));
  EXPECT_TRUE(ChecksumGood(answer));

  bool sawIn = false, sawOut = false;
  while (!(sawIn && sawOut)) {
    std::string line = zlsim.Line();
    ASSERT_FALSE(line.empty()) << "trace lines missing";
    sawIn |= line.find("127.0.0.1:4001 IN  02 02 00 07 59") != std::string::npos;
    sawOut |= line.find("127.0.0.1:4001 OUT 02 02 00 1F 59") != std::string::npos;
  }
  EXPECT_EQ(zlsim.Stop(SIGTERM), 0);
  bool sawStats = false;
  for (std::string line = zlsim.Line(); !line.empty(); line = zlsim.Line())
    sawStats |=
        line.rfind("station 1 KOTELNA", 0) == 0 && line.find("answers 1,") != std::string::npos;
  EXPECT_TRUE(sawStats);
}

}  // namespace
}  // namespace zl::test
