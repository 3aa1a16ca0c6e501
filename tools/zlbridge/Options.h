// zlbridge's command line, and the configuration file that may hold the same
// options (--config FILE; TOML or INI, one "name = value" per option).
#ifndef ZL_ZLBRIDGE_OPTIONS_H
#define ZL_ZLBRIDGE_OPTIONS_H

#include <string>
#include <vector>

#include "zlbridge/Bridge.h"
#include "zlbridge/Mqtt.h"

namespace zl::bridge {

struct Options {
  std::string ParameterFile;
  std::string Driver;   // the library's path; empty: the tools' search
  std::string Gateway;  // the line served, "IP:PORT"; empty: the first station's
  BrokerOptions Broker;
  BridgeSettings Bridge;
  bool Help = false;
  std::string Version;
};

bool ParseOptions(const std::vector<std::string> &args, Options &out, std::string &help,
                  std::string &error);

// The LINE level for a gateway when --line is not given: "127.0.0.1_4001".
std::string DefaultLine(const std::string &gateway);

}  // namespace zl::bridge

#endif  // ZL_ZLBRIDGE_OPTIONS_H
