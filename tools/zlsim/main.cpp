// zlsim: serves the stations of a parameter file as simulated controllers
// behind a ZL2 line gateway, until Ctrl-C or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "common/Language.h"
#include "zlsim/SimCommandLine.h"
#include "zlsim/Simulator.h"

namespace {

std::mutex outputLock;

void PrintLine(const std::string &line) {
  std::lock_guard<std::mutex> lock(outputLock);
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void PrintText(const std::string &text) {
  std::lock_guard<std::mutex> lock(outputLock);
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char **argv) {
  using namespace zl::sim;
  std::vector<std::string> args(argv + 1, argv + argc);
  CommandLine cl;
  std::string error;
  if (!ParseCommandLine(args, cl, error)) {
    std::fprintf(stderr, "zlsim: %s\n%s", error.c_str(), UsageText().c_str());
    return 2;
  }
  if (cl.Help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (!cl.Version.empty()) {
    std::printf("%s\n", cl.Version.c_str());
    return 0;
  }
  zl::tools::UseLanguage(zl::tools::ChooseLanguage(cl.Lang));
  if (cl.Trace) cl.Options.TraceSink = PrintLine;

  // The signals are taken by sigwait below; every thread inherits the mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  bool stats = cl.Options.Stats;
  auto sim = Simulator::FromParameterFile(cl.ParameterFile, cl.Options, error);
  if (!sim) {
    std::fprintf(stderr, "zlsim: %s: %s\n", cl.ParameterFile.c_str(), error.c_str());
    return 1;
  }
  if (!sim->Start(error)) {
    std::fprintf(stderr, "zlsim: %s\n", error.c_str());
    return 1;
  }
  for (const EndpointInfo &e : sim->Endpoints()) {
    std::string stations;
    for (int n : e.Stations) stations += (stations.empty() ? "" : ", ") + std::to_string(n);
    std::fprintf(stderr, "zlsim: line %s:%u (stations %s) served on %s:%u\n",
                 e.ConfiguredIp.c_str(), e.ConfiguredPort, stations.c_str(), e.BoundIp.c_str(),
                 e.ActualPort);
    PrintLine("PORT " + std::to_string(e.ConfiguredPort) + " " + std::to_string(e.ActualPort));
  }
  PrintLine("READY");

  for (;;) {
    int sig = 0;
    if (sigwait(&signals, &sig) != 0) continue;
    if (sig == SIGUSR1) {
      PrintText(sim->StatsReport());
      continue;
    }
    break;
  }
  sim->Stop();
  if (stats) PrintText(sim->StatsReport());
  return 0;
}
