// --demo: the whole system on this machine. The simulator serves the
// demonstration line (the embedded copy of examples/demo.par) on loopback at
// ports the system chooses; the driver is loaded and driven as by any host,
// through four steps that share out the demo's duration:
//   1. KOTELNA: values moving, active messages and their acknowledgments;
//   2. KOTELNA: the sample memory through the host's sample buffer, the .CUC file;
//   3. VYMENIK: the station goes silent, times out and is put to sleep;
//   4. CERPADLA: the dial-up station behind the second gateway.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>

#include "util/Text.h"
#include "zlpoll/Commands.h"
#include "zlpoll/DriverLib.h"
#include "zlpoll/Options.h"
#include "zlpoll/ParamFile.h"
#include "zlpoll/ParamText.h"
#include "zlpoll/Samples.h"
#include "zlpoll/Screen.h"
#include "zlsim/Simulator.h"

namespace zl::poll {

extern const unsigned char kEmbeddedDemoPar[];
extern const std::size_t kEmbeddedDemoParSize;

namespace {

// The demo runs the line quicker than the file says, so that every step fits
// in a few seconds: a silent station reaches its sleep after SLEEP_COUNT
// answer times of 0.5 s, and a pass of the driver's thread every 2 ms with a
// 5 ms pause after each answer moves the 88 sample blocks in about 2 s.
constexpr std::pair<const char *, const char *> kQuickLine[] = {
    {"ANSWER_TIME", "0.5"}, {"SILENCE_WAIT", "5"}, {"IDLE_TIME", "2"}};
constexpr double kActiveEverySeconds = 3.0;
constexpr double kRedrawSeconds = 0.2;

// A folder of its own, removed with its content at the end.
class DemoDir {
 public:
  DemoDir() {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zlpoll-demo-XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~DemoDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string &Path() const { return path_; }
  bool Write(const std::string &name, const std::string &bytes) const {
    std::FILE *f = std::fopen((path_ + "/" + name).c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
  }

 private:
  std::string path_;
};

class Demo {
 public:
  Demo(const Options &opt, sim::Simulator &sim, Context &ctx, Clock::time_point start)
      : opt_(opt), sim_(sim), ctx_(ctx), start_(start), screen_(::isatty(STDOUT_FILENO)) {}

  void Run() {
    if (keys_.Active()) {
      ctx_.Loop.OnKey([&](char c) {
        if (c == 'q' || c == 'Q') ctx_.Loop.Quit();
      });
    }
    ctx_.Loop.OnTick([&] { Tick(); });
    // Four equal shares: each step stays long enough to be watched.
    const double d = opt_.DurationSeconds;
    Step(1, "KOTELNA: values moving, active messages and their acknowledgments", 1, 0.25 * d,
         [&] { ReadLoop(1); });
    Step(2, "KOTELNA: sample memory through the host's sample buffer", 1, 0.50 * d,
         [&] { Samples(1); });
    Step(3, "VYMENIK goes silent: time-outs, then its sleep", 2, 0.75 * d, [&] { Silence(2); });
    Step(4, "CERPADLA: the dial-up station behind the second gateway", 3, d, [&] { ReadLoop(3); });
  }

  std::string Summary() const {
    std::string s = "demo over: " + std::to_string(readings_) + " readings, " +
                    std::to_string(ActiveSent()) + " active messages (" +
                    std::to_string(ActiveAcks()) + " acknowledged)";
    if (!sampleFile_.empty()) s += ", sample file " + sampleFile_;
    if (slept_) s += ", VYMENIK put to sleep";
    return s;
  }

 private:
  // Runs one step until its share of the duration ends (or Ctrl-C, or the end).
  void Step(int number, const std::string &title, int station, double endSeconds,
            const std::function<void()> &body) {
    if (ctx_.Loop.Interrupted()) return;
    step_ = number;
    title_ = title;
    station_ = station;
    reading_ = Reading();
    progress_.clear();
    dialling_.clear();
    stepEnd_ = start_ + std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(endSeconds));
    Log("== step " + std::to_string(number) + "/4: " + title);
    const StationConfig *st = ctx_.File.At(station);
    const bool dials = st && st->DialFlag;
    if (dials) {
      dialling_ = "dialling PHONE " + Utf8FromCp1250(st->Phone.view()) + " through gateway " +
                  Gateway(*st) + " ...";
      Note(dialling_);
      Draw();
    }
    const auto dialled = Clock::now();
    const Outcome c = ctx_.Poll.Connect(station);
    if (!c.Ok()) {
      Note(c.Message.substr(0, c.Message.find('\n')));
    } else {
      if (dials) {
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - dialled).count();
        char text[96];
        std::snprintf(text, sizeof text, "connected after %.0f ms", ms);
        dialling_ = "dialled PHONE " + Utf8FromCp1250(st->Phone.view()) + ": " + text;
        Note(std::string(text) + ": its KI requests read the memory outputs");
      }
      body();
    }
    Wait(stepEnd_);
  }

  bool StepOver() const { return Clock::now() >= stepEnd_ || ctx_.Loop.Interrupted(); }

  // Pumps (and redraws) until the moment.
  void Wait(Clock::time_point until) {
    ctx_.Loop.PumpUntil([] { return false; }, until);
  }

  void ReadOnce(int station) {
    std::vector<Group> groups;
    std::string error;
    SelectGroups(*ctx_.File.At(station), station, {"all"}, groups, error);
    Reading r = TakeReading(ctx_, station, groups);
    if (r.Result.Exit == kExitInterrupted) return;
    r.Number = ++readings_;
    const bool firstOfStep = reading_.Items.empty();
    reading_ = r;
    if (!r.Result.Ok()) Note(r.Result.Message.substr(0, r.Result.Message.find('\n')));
    if (firstOfStep) {
      for (const std::string &line : CompactLines(r, Style(false))) Log("  " + line);
    } else if (r.Result.Ok()) {
      Log("  reading " + std::to_string(r.Number) + " of " + r.Name + ": answered");
    }
    Draw();
  }

  void ReadLoop(int station) {
    while (!StepOver()) {
      ReadOnce(station);
      Wait(std::min(stepEnd_, After(0.5)));
    }
  }

  void Samples(int station) {
    SampleBuffer buffer;
    if (!ctx_.Driver.SetSampleBuffer(buffer.Block())) {
      Note("the driver refused the sample buffer");
      return;
    }
    uint32_t logged = 0;
    const SampleTransfer t = RunSampleTransfer(ctx_, buffer, station, 1, false, [&](uint32_t rows) {
      progress_ = ProgressBar(rows, 528, 40);
      if (!screen_.Active() && (rows >= logged + 66 || rows == 528)) {
        logged = rows;
        Log("  " + progress_);
      }
      Draw();
    });
    if (t.Result.Ok()) {
      std::error_code ec;
      sampleFile_ = std::filesystem::path(t.File).filename().string() + " (" +
                    std::to_string(std::filesystem::file_size(t.File, ec)) + " bytes)";
      Note("sample file written: " + sampleFile_);
    } else if (t.Result.Exit != kExitInterrupted) {
      Note(t.Result.Message.substr(0, t.Result.Message.find('\n')));
    }
    ReadLoop(station);
  }

  // Reads twice (its values move), then until the station sleeps; then the
  // sleep counts down on the screen.
  void Silence(int station) {
    ReadOnce(station);
    Wait(std::min(stepEnd_, After(0.5)));
    if (StepOver()) return;
    ReadOnce(station);
    if (StepOver()) return;
    sim_.SetDead(station, true);
    Note("the simulator silences VYMENIK: the driver times out, then puts it to sleep");
    while (!StepOver() && !slept_) {
      ReadOnce(station);
      Wait(std::min(stepEnd_, After(0.5)));
    }
  }

  uint64_t ActiveSent() const {
    uint64_t n = 0;
    for (int s = 1; s <= sim_.StationCount(); ++s) n += sim_.Stats(s).ActiveSent;
    return n;
  }
  uint64_t ActiveAcks() const {
    uint64_t n = 0;
    for (int s = 1; s <= sim_.StationCount(); ++s) n += sim_.Stats(s).Acks;
    return n;
  }

  // On every turn of every wait: active-message flags taken and cleared, the
  // sleeping station noticed, new event lines logged, the screen redrawn.
  void Tick() {
    const auto now = Clock::now();
    if (now - lastTick_ < std::chrono::duration<double>(kRedrawSeconds)) return;
    lastTick_ = now;
    for (int s = 1; s <= ctx_.File.StationCount(); ++s) {
      const uint16_t flag = ctx_.File.At(s)->StatusChannels[kInActiveMessage];
      if (flag && ctx_.Driver.GetBool(flag) == 1) {
        ctx_.Driver.PutBool(flag, false);
        Note("active message from " + Describe(*ctx_.File.At(s), s) +
             " received; the driver acknowledges it");
      }
    }
    const uint16_t sleep = ctx_.File.At(2) ? ctx_.File.At(2)->StatusChannels[kSleepTime] : 0;
    sleepLeft_ = sleep ? ctx_.Driver.GetDouble(sleep) : 0.0;
    if (sleepLeft_ > 0 && !slept_) {
      slept_ = true;
      Note("VYMENIK is asleep: the driver passes its requests over until the sleep ends");
    }
    window_ = ParseStatusWindow(ctx_.Driver.StatusWindowJson());
    if (!screen_.Active()) {
      for (const std::string &e : NewEvents(eventsLogged_, window_.Events))
        Log("  event: " + OneLine(e));
      eventsLogged_ = window_.Events;
    }
    Draw();
  }

  void Note(const std::string &text) {
    note_ = text;
    Log("  " + text);
  }

  void Log(const std::string &line) const {
    if (!screen_.Active()) PrintLine(line);
  }

  // One screen of the terminal's size (80 x 24 is enough): the step and its
  // clock, the station's values as far as they fit, the two status labels and
  // the most recent event lines, the active messages and the last note.
  void Draw() const {
    if (!screen_.Active()) return;
    const Style &out = ctx_.Out;
    const std::size_t height = screen_.Height();
    const auto now = Clock::now();
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double stepLeft = std::max(0.0, std::chrono::duration<double>(stepEnd_ - now).count());
    char clock[96];
    std::snprintf(clock, sizeof clock, "step %d/4, %.0f s left   %.1f s of %.0f s", step_, stepLeft,
                  elapsed, opt_.DurationSeconds);
    std::vector<std::string> head = {out.Bold("ZLNETDRV demo") + "  " + clock + "   q ends",
                                     out.Yellow(title_)};
    if (const StationConfig *st = ctx_.File.At(station_)) {
      head.push_back(out.Bold(Describe(*st, station_)) + "  " + Gateway(*st));
    }
    if (!progress_.empty()) head.push_back("samples " + progress_);
    if (!dialling_.empty()) head.push_back(out.Cyan(dialling_));

    std::vector<std::string> tail = {"", out.Bold("Label1 ") + OneLine(window_.QueueStatusLabel),
                                     out.Bold("Label2 ") + OneLine(window_.ActivityLabel),
                                     out.Bold("events, latest last")};
    std::string footer = "active messages: " + std::to_string(ActiveSent()) + " sent, " +
                         std::to_string(ActiveAcks()) + " acknowledged";
    if (sleepLeft_ > 0) {
      char text[64];
      std::snprintf(text, sizeof text, "   VYMENIK sleeps %.1f s more", sleepLeft_);
      footer += out.Red(text);
    }
    const std::vector<std::string> foot = {footer, out.Dim(note_)};

    // What is left goes to the values (at most ten lines) and the events.
    const std::size_t fixed = head.size() + tail.size() + foot.size();
    const std::size_t room = height > fixed ? height - fixed : 0;
    std::vector<std::string> values = CompactLines(reading_, out);
    const std::size_t valueRoom = std::min<std::size_t>(10, room > 4 ? room - 4 : room);
    if (values.size() > valueRoom && valueRoom > 0) {
      const std::size_t hidden = values.size() - (valueRoom - 1);
      values.resize(valueRoom - 1);
      values.push_back(out.Dim("  ... " + std::to_string(hidden) + " more lines"));
    } else if (valueRoom == 0) {
      values.clear();
    }
    const std::size_t eventRoom = room - values.size();
    const auto &events = window_.Events;
    const std::size_t first = events.size() > eventRoom ? events.size() - eventRoom : 0;

    std::vector<std::string> lines = head;
    lines.insert(lines.end(), values.begin(), values.end());
    lines.insert(lines.end(), tail.begin(), tail.end());
    for (std::size_t i = first; i < events.size(); ++i) lines.push_back("  " + OneLine(events[i]));
    while (lines.size() + foot.size() < height) lines.push_back("");
    lines.insert(lines.end(), foot.begin(), foot.end());
    screen_.Draw(lines);
  }

  const Options &opt_;
  sim::Simulator &sim_;
  Context &ctx_;
  const Clock::time_point start_;
  TerminalKeys keys_;
  Screen screen_;
  Clock::time_point stepEnd_{}, lastTick_{};
  int step_ = 0, station_ = 0, readings_ = 0;
  std::string title_, note_, progress_, dialling_, sampleFile_;
  Reading reading_;
  StatusWindow window_;
  std::vector<std::string> eventsLogged_;
  double sleepLeft_ = 0;
  bool slept_ = false;
};

}  // namespace

int RunDemo(const Options &opt) {
  const auto start = Clock::now();
  DemoDir dir;
  if (dir.Path().empty()) {
    PrintError("cannot create a temporary folder for the demo: set TMPDIR to a writable folder");
    return kExitInit;
  }
  // Drive C: of the driver is the demo's folder, where the sample file lands.
  if (opt.DriveC.empty()) ::setenv("ZLNETDRV_DRIVE_C", dir.Path().c_str(), 1);
  std::string text(reinterpret_cast<const char *>(kEmbeddedDemoPar), kEmbeddedDemoParSize);
  std::string quick;
  for (const auto &[keyword, value] : kQuickLine) {
    text = SetGlobalValue(text, keyword, value);
    quick += std::string(quick.empty() ? "" : ", ") + keyword + " " + value;
  }

  // The loop first: the simulator's and the driver's threads inherit its
  // blocked signals.
  EventLoop loop;
  sim::SimOptions simOptions;
  simOptions.Ephemeral = true;
  simOptions.Seed = 1;
  simOptions.Faults.ActiveEverySeconds = kActiveEverySeconds;
  std::string error;
  if (!dir.Write("zlsim.par", text)) {
    PrintError("cannot write into " + dir.Path());
    return kExitInit;
  }
  auto sim = sim::Simulator::FromParameterFile(dir.Path() + "/zlsim.par", simOptions, error);
  if (!sim || !sim->Start(error)) {
    PrintError("the simulator does not start: " + error);
    return kExitInit;
  }
  const std::string parFile = dir.Path() + "/demo.par";
  dir.Write("demo.par", sim::RewriteEndpoints(text, sim->Mappings()));
  ParamFile file;
  if (!file.Load(parFile, error)) {
    PrintError("the demonstration line does not load: " + error);
    return kExitInit;
  }
  StartedDriver driver;
  if (!StartDriver(opt, file, loop, driver, error)) {
    PrintError(error);
    return kExitInit;
  }
  if (!::isatty(STDOUT_FILENO))
    PrintLine("ZLNETDRV demo: examples/demo.par with a quicker line (" + quick + ")");
  for (const sim::EndpointInfo &e : sim->Endpoints()) {
    if (!::isatty(STDOUT_FILENO)) {
      PrintLine("simulated gateway " + e.ConfiguredIp + ":" + std::to_string(e.ConfiguredPort) +
                " served on " + e.BoundIp + ":" + std::to_string(e.ActualPort));
    }
  }
  loop.EndAt(start + std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double>(opt.DurationSeconds)));
  Poller poller(*driver.Session, loop, file, 5.0);
  Context ctx{opt, file, *driver.Session, loop, poller, Style(ColourWanted(opt.NoColor))};
  std::string summary;
  {
    Demo demo(opt, *sim, ctx, start);
    demo.Run();
    summary = demo.Summary();
  }
  PrintLine(summary);
  return kExitOk;
}

}  // namespace zl::poll
