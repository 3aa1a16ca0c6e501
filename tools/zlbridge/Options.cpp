#include "zlbridge/Options.h"

#include <CLI/CLI.hpp>

#include "common/CommandLine.h"
#include "zlbridge/Catalog.h"

namespace zl::bridge {

namespace {

const char *const kUsage =
    "zlbridge PARAMFILE [--broker HOST] [--port N] [--line NAME] [--interval S] "
    "[--interval-of GROUP=S]... [options]\n"
    "  (or zlbridge --config FILE, whose \"name = value\" lines give the same options)";

const char *const kGroups[] = {"bi", "ai", "ct", "mo", "mi", "mb", "qq"};

}  // namespace

std::string DefaultLine(const std::string &gateway) {
  std::string line = TopicLevel(gateway);
  for (char &c : line)
    if (c == ':') c = '_';
  return line.empty() ? "line" : line;
}

bool ParseOptions(const std::vector<std::string> &args, Options &o, std::string &help,
                  std::string &error) {
  CLI::App app("Publishes the stations of a ZLNETDRV line to an MQTT broker.", "zlbridge");
  tools::SetUpApp(app, kUsage);
  app.set_config("--config", "", "read options from FILE (name = value lines)");
  app.add_option("PARAMFILE", o.ParameterFile, "the driver's parameter file")->required();
  tools::AddText(app, "--driver", o.Driver, "the driver library (libzlnetdrv.so.1)");
  tools::AddText(app, "--gateway", o.Gateway,
                 "serve the stations behind this gateway IP:PORT (default: the first station's)");
  tools::AddText(app, "--line", o.Bridge.Line, "the LINE level of every topic (default: IP_PORT)");
  tools::AddText(app, "--prefix", o.Bridge.Prefix, "the first level of every topic (zlnetdrv)");
  tools::AddText(app, "--broker", o.Broker.Host, "the broker's host (localhost)");
  tools::AddWholeNumber(app, "--port", o.Broker.Port, 1, 65535, "the broker's port (1883)");
  tools::AddText(app, "--client-id", o.Broker.ClientId, "the MQTT client id (zlbridge-LINE)");
  tools::AddText(app, "--username", o.Broker.Username, "user name at the broker");
  tools::AddText(app, "--password", o.Broker.Password, "password at the broker");
  tools::AddText(app, "--cafile", o.Broker.CaFile, "TLS: the CA certificate file");
  tools::AddText(app, "--capath", o.Broker.CaPath, "TLS: a folder of CA certificates");
  tools::AddText(app, "--cert", o.Broker.CertFile, "TLS: the bridge's certificate");
  tools::AddText(app, "--key", o.Broker.KeyFile, "TLS: the bridge's private key");
  app.add_flag("--insecure", o.Broker.Insecure,
               "TLS: do not check the broker's host name in its certificate");
  app.add_flag("--others-off", o.Bridge.OthersOff,
               "a binary output write sends the station's outputs never set as 0 (off)");
  tools::AddWholeNumber(app, "--qos", o.Broker.Qos, 0, 2, "the QoS of every message (1)");
  tools::AddWholeNumber(app, "--keepalive", o.Broker.KeepAliveSeconds, 5, 3600,
                        "seconds between keep-alive pings (30)");
  tools::AddWholeNumber(app, "--reconnect-max", o.Broker.ReconnectMaxSeconds, 1, 3600,
                        "the longest wait between two connects to the broker (30)");
  tools::AddSeconds(app, "--interval", o.Bridge.Interval, 86400,
                    "seconds between two reads of a group (1)");
  std::vector<std::string> intervals;
  app.add_option("--interval-of", intervals, "GROUP=S: the interval of one group (repeatable)")
      ->type_name("GROUP=S")
      ->allow_extra_args(false);
  tools::AddSeconds(app, "--stale-after", o.Bridge.StaleAfter, 86400,
                    "a group unanswered this long, and three intervals, is stale (10)");
  tools::AddSeconds(app, "--write-timeout", o.Bridge.WriteTimeout, 3600,
                    "a write not sent within it is answered as failed (10)");
  tools::AddSeconds(app, "--state-every", o.Bridge.StateEvery, 3600,
                    "a station's last answer is published at most this often (5)");
  tools::AddSeconds(app, "--scan-every", o.Bridge.ScanEvery, 10,
                    "the driver's values are looked at this often (0.02)");

  std::string version;
  if (!tools::Parse(app, args, o.Help, version, error)) return false;
  o.Version = version;
  if (o.Help) {
    help = app.help();
    return true;
  }
  if (!version.empty()) return true;
  for (const std::string &v : intervals) {
    const std::size_t eq = v.find('=');
    double seconds = 0;
    const std::string group = eq == std::string::npos ? v : v.substr(0, eq);
    bool known = false;
    for (const char *g : kGroups) known = known || group == g;
    if (!known || eq == std::string::npos || !tools::ParseNumber(v.substr(eq + 1), seconds) ||
        seconds <= 0.0) {
      error = "--interval-of takes GROUP=SECONDS with GROUP one of bi ai ct mo mi mb qq, not \"" +
              v + "\"";
      return false;
    }
    o.Bridge.Intervals[group] = seconds;
  }
  return true;
}

}  // namespace zl::bridge
