#include "support/HostSession.h"

#include <cstring>
#include <mutex>

#include "driver/Driver.h"
#include "driver/Exports.h"

#include "support/QuickDemoLine.h"
#include "support/Timing.h"

namespace zl::test {
namespace {

// Times that only the session's jumps reach, and stations 1 and 2 without
// their phone numbers.
std::string Patient(std::string text) {
  text = Replaced(text, "ANSWER_TIME  2.5", "ANSWER_TIME  30 ");
  text = WithoutPhones(text);
  return Replaced(text, "SLEEP_TIME   30.0", "SLEEP_TIME   100 ");
}

sim::SimOptions OnFixedPorts(sim::SimOptions options) {
  options.Ephemeral = false;
  return options;
}

}  // namespace

SteppedClock::SteppedClock() : start_(std::chrono::steady_clock::now()) {}

LocalDateTime SteppedClock::Now() const {
  const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start_);
  ManualClock at(At(8));
  at.Advance(real.count() + jumpMs_.load());
  return at.Now();
}

HostSession::~HostSession() {
  Stop();
}

bool HostSession::Start(const sim::SimOptions &options, std::string &error,
                        const std::function<std::string(std::string)> &edit, bool steppedClock) {
  QuickDemoLine line;
  const bool started = line.Start(
      dir_, options,
      [&](std::string text) {
        return edit ? edit(Patient(std::move(text))) : Patient(std::move(text));
      },
      error);
  sim_ = std::move(line.Sim);
  if (!started) return false;
  driverFile_ = line.HostFile;
  if (steppedClock) {
    SetClock(&clock_);
    clockInstalled_ = true;
  }
  h_ = MakeDriver();
  char hostText[256] = "RELIABILITY";
  if (!h_ || Init(h_, 255, driverFile_.c_str(), 0, hostText, 1) != 1) {
    error = std::string("Init: ") + hostText;
    return false;
  }
  MarkGatewayStart();
  return true;
}

void HostSession::Stop() {
  if (h_) {
    Done(h_);
    DisposeDriver(h_);
    h_ = nullptr;
  }
  if (sim_) sim_->Stop();
  if (clockInstalled_) SetClock(nullptr);
  clockInstalled_ = false;
}

bool HostSession::RestartGateway(const sim::SimOptions &options, std::string &error) {
  sim_->Stop();
  sim_.reset();
  // The driver's file names the ports the first gateway got: take them again.
  sim_ = sim::Simulator::FromParameterFile(driverFile_, OnFixedPorts(options), error);
  if (!sim_ || !sim_->Start(error)) return false;
  MarkGatewayStart();
  return true;
}

bool HostSession::PumpUntil(const std::function<bool()> &pred, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    PumpMessages(h_, 2);
    JumpWithheld();
  }
  return true;
}

bool HostSession::Connect(int slot) {
  Command(demo::Ch(slot, demo::kConnect));
  const bool connected = PumpUntil([&] { return Bool(demo::Ch(slot, demo::kConnected)) == 1; });
  Rebase();
  return connected;
}

bool HostSession::Settle(int timeoutMs) {
  // Without a connection the queues are emptied and the cycle stands still.
  const bool settled = PumpUntil(
      [&] {
        return D(demo::kQueued) == 0.0 &&
               (D(demo::kCycleState) == 0.0 || D(demo::kClientConnected) == 0.0);
      },
      timeoutMs);
  // Answers lost with a connection, or thrown away at a time-out, are
  // behind us: count the prefixes the driver reads from here.
  if (settled) Rebase();
  return settled;
}

uint64_t HostSession::Withheld() {
  uint64_t withheld = 0;
  for (int n = 1; n <= sim_->StationCount(); ++n) {
    const sim::StationStats s = sim_->Stats(n);
    withheld += s.Dropped + s.Corrupted + s.DeadIgnored + s.Late;
  }
  return withheld;
}

double HostSession::PrefixesSent() {
  uint64_t prefixes = 0;
  for (int n = 1; n <= sim_->StationCount(); ++n) {
    const sim::StationStats s = sim_->Stats(n);
    prefixes += s.Answers + s.ActiveSent;
  }
  for (const sim::LineStats &l : sim_->LineStatistics()) prefixes += l.Echoed;
  return static_cast<double>(prefixes);
}

bool HostSession::AllSentTakenIn() {
  const double sent = PrefixesSent();
  Driver *form = FormOfHandle(h_);
  if (!form) return true;
  std::lock_guard<std::mutex> lock(form->Di.Polling.Lock);
  return FromReal6(form->Di.Polling.PrefixCount) >= prefixBase_ + sent &&
         form->Di.Polling.MessageBuffer.empty();
}

bool HostSession::Quiesce() {
  return PumpUntil([&] { return AllSentTakenIn(); }, 10000);
}

void HostSession::Rebase() {
  const double sent = PrefixesSent();
  Driver *form = FormOfHandle(h_);
  if (!form) return;
  std::lock_guard<std::mutex> lock(form->Di.Polling.Lock);
  prefixBase_ = FromReal6(form->Di.Polling.PrefixCount) - sent;
}

int HostSession::JumpWithheld() {
  if (!clockInstalled_ || !sim_) return 0;
  const uint64_t now = Withheld();
  if (now <= withheldSeen_) return 0;
  // A spoilt answer is on its way: the driver reads it and throws it away
  // before the time-out, or its late bytes would meet the next answer.
  const auto waited = std::chrono::steady_clock::now();
  while (!AllSentTakenIn() && std::chrono::steady_clock::now() - waited < std::chrono::seconds(3))
    PumpMessages(h_, 1);

  // One request is in flight at a time, and the next goes only after this
  // one's time-out: a jump times out exactly the request whose answer was
  // withheld.
  clock_.Jump(static_cast<int64_t>(demo::kAnswerTime * 1000) + 1000);
  ++withheldSeen_;
  ++timeoutsMade_;
  return 1;
}

uint32_t HostSession::Unpaired() {
  Driver *form = FormOfHandle(h_);
  if (!form) return 0;
  std::lock_guard<std::mutex> lock(form->Di.Polling.Lock);
  return form->Di.Polling.UnpairedCount;
}

uint32_t HostSession::Stray() {
  Driver *form = FormOfHandle(h_);
  if (!form) return 0;
  std::lock_guard<std::mutex> lock(form->Di.Polling.Lock);
  return form->Di.Polling.StrayCount;
}

void HostSession::MarkGatewayStart() {
  withheldSeen_ = 0;
  Rebase();
}

void demo::SetQqNumbers(sim::ControllerModel &c) {
  c.SetQqBytes(0, 16, 0, {200, 0, 0, 0});            // BYTE
  c.SetQqBytes(0, 16, 1, {0x34, 0x12, 0, 0});        // WORD
  c.SetQqBytes(0, 16, 3, {0xFE, 0xFF, 0xFF, 0xFF});  // INTEGER -2
  c.SetQqBytes(0, 16, 5, {0x40, 0xE2, 0x01, 0x00});  // CARDINAL 123456
  c.SetQqBytes(0, 16, 9, {0x15, 0xCD, 0x5B, 0x07});  // LONGINT 123456789
}

}  // namespace zl::test
