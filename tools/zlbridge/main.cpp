// zlbridge: the stations of one line gateway, published to an MQTT broker,
// and writes taken from it, until SIGINT or SIGTERM.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/DriverLib.h"
#include "zlbridge/Bridge.h"
#include "zlbridge/Catalog.h"
#include "zlbridge/Mqtt.h"
#include "zlbridge/Options.h"

int main(int argc, char **argv) {
  using namespace zl::bridge;
  Options opt;
  std::string help, error;
  if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), opt, help, error)) {
    std::fprintf(stderr, "zlbridge: %s\n", error.c_str());
    return 2;
  }
  if (opt.Help) {
    std::fputs(help.c_str(), stdout);
    return 0;
  }
  if (!opt.Version.empty()) {
    std::printf("%s\n", opt.Version.c_str());
    return 0;
  }

  // The signals come through a descriptor; every thread started from here
  // on (the driver's, the broker's) inherits the mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  const int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC);

  auto lib = zl::tools::DriverLibrary::Load(opt.Driver, error);
  if (!lib) {
    std::fprintf(stderr, "zlbridge: %s\n", error.c_str());
    return 1;
  }
  zl::tools::DriverSession driver(lib->Api());
  if (!driver.Init(opt.ParameterFile, error, "zlbridge")) {
    std::fprintf(stderr, "zlbridge: %s: %s\n", opt.ParameterFile.c_str(), error.c_str());
    return 1;
  }
  Catalog catalog;
  const auto map = nlohmann::json::parse(driver.ChannelMapJson(), nullptr, false);
  if (!BuildCatalog(map, opt.Gateway, catalog, error)) {
    std::fprintf(stderr, "zlbridge: %s: %s\n", opt.ParameterFile.c_str(), error.c_str());
    return 1;
  }
  for (const std::string &s : catalog.Skipped)
    std::fprintf(stderr, "zlbridge: not served: %s\n", s.c_str());
  if (opt.Bridge.Line.empty()) opt.Bridge.Line = DefaultLine(catalog.Stations.front().Gateway);
  if (opt.Broker.ClientId.empty()) opt.Broker.ClientId = "zlbridge-" + opt.Bridge.Line;

  Mqtt mqtt;
  Bridge bridge(driver, mqtt, std::move(catalog), opt.Bridge);
  if (!mqtt.Start(opt.Broker, bridge.AvailabilityTopic(), "offline", error)) {
    std::fprintf(stderr, "zlbridge: %s\n", error.c_str());
    return 1;
  }
  std::fprintf(stderr, "zlbridge: line %s to %s:%d; topics %s/%s/...\n", opt.Bridge.Line.c_str(),
               opt.Broker.Host.c_str(), opt.Broker.Port, opt.Bridge.Prefix.c_str(),
               opt.Bridge.Line.c_str());
  const int code = bridge.Run(signalFd);
  mqtt.Stop(bridge.AvailabilityTopic(), "offline");
  return code;
}
