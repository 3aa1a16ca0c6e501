#include "zlpoll/Poller.h"

#include <algorithm>
#include <cstdio>

#include "util/Text.h"
#include "util/Texts.h"
#include "zlpoll/DriverLib.h"
#include "zlpoll/Options.h"
#include "zlpoll/ParamFile.h"
#include "zlpoll/StatusWindow.h"

namespace zl::poll {

namespace {

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", s);
  return text;
}

}  // namespace

Poller::Poller(DriverSession &driver, EventLoop &loop, const ParamFile &file, double timeoutSeconds)
    : driver_(driver), loop_(loop), file_(file), timeout_(timeoutSeconds) {}

const StationConfig *Poller::Lookup(int station, Outcome &out) const {
  const StationConfig *st = file_.At(station);
  if (!st) {
    out = {kExitUsage, "there is no station " + std::to_string(station) + ": the file has " +
                           std::to_string(file_.StationCount()) + " (zlpoll FILE info lists them)"};
  }
  return st;
}

std::string Poller::LastEvents(std::size_t count) const {
  const StatusWindow w = ParseStatusWindow(driver_.StatusWindowJson());
  std::string out;
  const std::size_t from = w.Events.size() > count ? w.Events.size() - count : 0;
  for (std::size_t i = from; i < w.Events.size(); ++i)
    out += "\n  event list: " + OneLine(w.Events[i]);
  return out;
}

Outcome Poller::Failed(const std::string &message) const {
  return {kExitNoAnswer, message};
}

Outcome Poller::Connect(int station) {
  Outcome out;
  const StationConfig *st = Lookup(station, out);
  if (!st) return out;
  std::string error;
  const uint16_t connect = StatusChannelOf(*st, station, kOutConnectModem, error);
  const uint16_t connected = connect ? StatusChannelOf(*st, station, kInConnectedModem, error) : 0;
  if (!connected) return {kExitUsage, error};
  auto online = [&] {
    return driver_.GetBool(connected) == 1 && driver_.GetDouble(kChConnected) == 1.0;
  };
  if (online()) return out;

  driver_.PutBool(connect, true);
  // The connect command adds its line (TcpInit) to the event list; a socket
  // error after it ends the wait at once. The driver speaks the language
  // this process chose for both.
  const std::string tcpInit = Utf8FromCp1250(Say(TextId::TcpInit));
  const std::string tcpError = Utf8FromCp1250(Say(TextId::TcpError));
  std::string refused;
  auto done = [&] {
    if (online()) return true;
    for (const std::string &line :
         EventsAfter(ParseStatusWindow(driver_.StatusWindowJson()), tcpInit)) {
      if (line.rfind(tcpError, 0) == 0) refused = line;
    }
    return !refused.empty();
  };
  const EventLoop::Wait w = loop_.PumpUntil(done, After(timeout_));
  if (w == EventLoop::Wait::Interrupted) return {kExitInterrupted, "interrupted"};
  if (w == EventLoop::Wait::Done && refused.empty()) return out;
  const std::string what =
      "could not connect to the gateway " + Gateway(*st) + " of " + Describe(*st, station);
  if (!refused.empty()) {
    return Failed(what + ": " + refused +
                  "\n  is the gateway running there? (zlsim PARAMFILE serves the file's "
                  "stations on their IP and PORT)");
  }
  return Failed(what + " within " + Seconds(timeout_) + LastEvents(3) +
                "\n  check the address and the network; --timeout S waits longer");
}

Outcome Poller::Exchange(int station, const std::vector<uint16_t> &flags, bool allFlagged,
                         const std::function<void()> &issue,
                         const std::function<bool()> &progress) {
  Outcome out;
  const StationConfig *st = Lookup(station, out);
  if (!st) return out;
  const uint16_t *s = st->StatusChannels;
  const uint16_t connected = s[kInConnectedModem], timeouts = s[kErrorNoAnswer],
                 errorItems = s[kErrorInMess], sleep = s[kSleepTime], fault = s[kInLastComErr];
  for (uint16_t f : flags) driver_.PutBool(f, false);
  const double timeouts0 = timeouts ? driver_.GetDouble(timeouts) : 0.0;
  const double errorItems0 = errorItems ? driver_.GetDouble(errorItems) : 0.0;
  issue();

  enum class Why { Settled, Asleep, Lost } why = Why::Settled;
  auto settled = [&] {
    if (sleep && driver_.GetDouble(sleep) > 0.0) {
      why = Why::Asleep;
      return true;
    }
    if (driver_.GetDouble(kChConnected) != 1.0 || (connected && driver_.GetBool(connected) != 1)) {
      why = Why::Lost;
      return true;
    }
    return driver_.GetDouble(kChQueued) == 0.0 && driver_.GetDouble(kChCycleState) == 0.0;
  };
  bool finished = false;
  auto check = [&] {
    finished = settled();
    return finished || (progress && progress());
  };
  EventLoop::Wait w;
  do {
    w = loop_.PumpUntil(check, After(timeout_));
  } while (w == EventLoop::Wait::Done && !finished);
  const std::string who = Describe(*st, station);
  if (w == EventLoop::Wait::Interrupted) return {kExitInterrupted, "interrupted"};
  if (w == EventLoop::Wait::TimedOut) {
    return Failed(who + " did not answer within " + Seconds(timeout_) +
                  " (its requests are still queued)" + LastEvents(2) +
                  "\n  check the controller and its line to the gateway; --timeout S waits longer");
  }
  if (why == Why::Asleep) {
    return Failed(who + " stopped answering and was put to sleep for " +
                  Seconds(driver_.GetDouble(sleep)) + LastEvents(2) +
                  "\n  it is asked again when its sleep ends; check the controller and its line");
  }
  if (why == Why::Lost) {
    return Failed("the connection to the gateway " + Gateway(*st) + " of " + who + " was lost" +
                  LastEvents(2) + "\n  is the gateway still running?");
  }
  if (errorItems && driver_.GetDouble(errorItems) > errorItems0) {
    return Failed(who + " answered with an error item" + LastEvents(1) +
                  "\n  the controller could not carry the request out: check the parameter "
                  "file's addresses and counts for this station");
  }
  // The driver's thread decodes one stored answer per pass: an active message
  // stored before the last answer delays its decoding past the moment the
  // queues are empty, so the flags are waited for, unless a request failed.
  auto flagsUp = [&] {
    return std::all_of(flags.begin(), flags.end(),
                       [&](uint16_t f) { return driver_.GetBool(f) == 1; });
  };
  const bool failed = (fault && driver_.GetBool(fault) == 1) ||
                      (timeouts && driver_.GetDouble(timeouts) > timeouts0);
  if (!failed && loop_.PumpUntil(flagsUp, After(timeout_)) == EventLoop::Wait::Interrupted)
    return {kExitInterrupted, "interrupted"};
  const bool givenUp = (fault && driver_.GetBool(fault) == 1) || !flagsUp();
  const bool timedOut = timeouts && driver_.GetDouble(timeouts) > timeouts0;
  const bool mayGiveUp = !st->Phone.empty() && !file_.Global().StayInQueueOnTimeout;
  if (givenUp || (timedOut && !allFlagged && mayGiveUp)) {
    return Failed(who + " did not answer: a request was given up after " +
                  std::to_string(file_.Global().NumTolvinError) + " failure(s)" + LastEvents(2) +
                  "\n  check the controller and its line to the gateway");
  }
  return out;
}

Outcome Poller::Read(int station, const std::vector<Group> &groups) {
  Outcome out;
  const StationConfig *st = Lookup(station, out);
  if (!st) return out;
  std::vector<uint16_t> flags;
  std::vector<ReadPlan> plans;
  bool anything = false, allFlagged = true;
  for (Group g : groups) {
    ReadPlan plan = PlanOf(*st, g);
    if (plan.Commands.empty() && plan.Requests.empty()) continue;
    anything = true;
    allFlagged = allFlagged && plan.Flag != 0;
    if (plan.Flag && std::find(flags.begin(), flags.end(), plan.Flag) == flags.end())
      flags.push_back(plan.Flag);
    plans.push_back(std::move(plan));
  }
  if (!anything) return out;  // only values the driver holds (bo)
  return Exchange(station, flags, allFlagged, [&] {
    for (const ReadPlan &plan : plans) {
      for (uint16_t c : plan.Commands) driver_.PutBool(c, true);
      for (uint16_t r : plan.Requests) driver_.Request(r);
    }
  });
}

}  // namespace zl::poll
