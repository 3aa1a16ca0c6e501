// The full-screen views on a real terminal: zlpoll runs inside tmux, and the
// test reads the screen as a person would see it.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "PollLine.h"

namespace zl::test {
namespace {

// The path of a program on PATH, or empty.
std::string FindProgram(const std::string &name) {
  const char *path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = dir + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

// A tmux server of the test's own (its own socket), killed at the end.
class Tmux {
 public:
  explicit Tmux(std::vector<std::string> env) : env_(std::move(env)) {
    static int count = 0;
    socket_ = "zlpoll-test-" + std::to_string(::getpid()) + "-" + std::to_string(++count);
  }
  ~Tmux() { Tmux::Run({"kill-server"}); }

  // A session of the given size running command (a shell command line).
  bool Start(const std::string &command, int width, int height) {
    return Run({"new-session", "-d", "-x", std::to_string(width), "-y", std::to_string(height),
                command})
               .Exit == 0;
  }
  std::string Screen() { return Run({"capture-pane", "-p"}).Out; }
  void Keys(const std::string &keys) { Run({"send-keys", keys}); }
  bool Alive() { return Run({"has-session"}).Exit == 0; }

  // Captures the screen until seen() holds for one capture; false after seconds.
  bool WaitForScreen(const std::function<bool(const std::string &)> &seen, double seconds,
                     std::string *last = nullptr) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::string screen;
    while (std::chrono::steady_clock::now() < end) {
      screen = Screen();
      if (seen(screen)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (last) *last = screen;
    return false;
  }
  bool WaitForEnd(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
      if (!Alive()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

 private:
  ChildResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"-u", "-L", socket_, "-f", "/dev/null"});
    return RunChild(FindProgram("tmux"), args, env_, 30);
  }
  std::string socket_;
  std::vector<std::string> env_;
};

bool Has(const std::string &screen, std::initializer_list<const char *> texts) {
  for (const char *t : texts)
    if (screen.find(t) == std::string::npos) return false;
  return true;
}

class Terminal : public PollLine {
 protected:
  void SetUp() override {
    if (FindProgram("tmux").empty()) GTEST_SKIP() << "tmux is not installed (apt-get install tmux)";
  }
  std::vector<std::string> TmuxEnv() const {
    return {"ZLNETDRV_LIBRARY=" ZLNETDRV_LIBRARY_FILE, "ZLNETDRV_DRIVE_C=" + dir_.path(),
            "TERM=xterm", "LANG=C.UTF-8"};
  }
};

TEST_F(Terminal, WatchShowsTheValuesBesideTheStatusWindowAndQuitsOnQ) {
  ASSERT_NO_FATAL_FAILURE(Start());
  Tmux tmux(TmuxEnv());
  ASSERT_TRUE(
      tmux.Start(std::string(ZLPOLL_PROGRAM) + " " + Par() + " watch 1 --interval 200", 150, 45));
  std::string screen;
  EXPECT_TRUE(tmux.WaitForScreen(
      [](const std::string &s) {
        return Has(s, {"zlpoll watch", "station 1 (KOTELNA)", "answered", "bi  1-8", "ai  1-4",
                       "qq  0.16.0", "status window ZLNETDRV", "Label1  Primary queue", "Label2",
                       "KOTELNA - BI"});
      },
      30, &screen))
      << screen;
  tmux.Keys("q");
  EXPECT_TRUE(tmux.WaitForEnd(30)) << "q ends watch";
}

// The demo shares its duration out among its steps; a long one leaves every
// step time enough on a busy machine, and q ends it once all was seen.
// On the smallest usual terminal every step shows its key lines: the values,
// the status labels with the latest events, the sample progress, the silent
// station's time-outs and the dialling of the dial-up station.
TEST_F(Terminal, TheDemoFitsEightyByTwentyFourAndShowsEveryStep) {
  Tmux tmux(TmuxEnv());
  ASSERT_TRUE(tmux.Start(std::string(ZLPOLL_PROGRAM) + " --demo --duration 24", 80, 24));
  bool table = false, status = false, progress = false, timeouts = false, dialling = false;
  std::string screen;
  tmux.WaitForScreen(
      [&](const std::string &s) {
        table = table || Has(s, {"step 1/4", "bi  1-8", "ai  1-4", "ct  1-4"});
        status = status || Has(s, {"Label1", "Label2", "events, latest last"});
        progress = progress || Has(s, {"step 2/4", "samples [", "/528 rows"});
        timeouts = timeouts || Has(s, {"step 3/4", "VYMENIK - time-out"});
        dialling = dialling || (Has(s, {"step 4/4", "CERPADLA", "bi  1-8"}) &&
                                (Has(s, {"dialling"}) || Has(s, {"connected after"})));
        return table && status && progress && timeouts && dialling;
      },
      100, &screen);
  EXPECT_TRUE(table) << screen;
  EXPECT_TRUE(status) << screen;
  EXPECT_TRUE(progress) << screen;
  EXPECT_TRUE(timeouts) << screen;
  EXPECT_TRUE(dialling) << screen;
  tmux.Keys("q");
  EXPECT_TRUE(tmux.WaitForEnd(30)) << "q ends the demo";
}

}  // namespace
}  // namespace zl::test
