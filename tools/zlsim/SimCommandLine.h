// zlsim's command line: the parameter file and the options that set how the
// simulated line behaves. Only the program and its tests parse it, so the
// simulator embedded in zlpoll does not compile CLI11 for it.
#ifndef ZL_ZLSIM_SIMCOMMANDLINE_H
#define ZL_ZLSIM_SIMCOMMANDLINE_H

#include <string>
#include <vector>

#include "zlsim/SimOptions.h"

namespace zl::sim {

struct CommandLine {
  std::string ParameterFile;
  SimOptions Options;
  bool Trace = false;
  std::string Lang;  // --lang: "cs", "en" or "" (the locale's)
  bool Help = false;
  std::string Version;  // --version: the text to print
};

// Parses the arguments after the program's name. On an error answers false
// with a one-line message.
bool ParseCommandLine(const std::vector<std::string> &args, CommandLine &out, std::string &error);

// The help: usage and options.
std::string UsageText();

}  // namespace zl::sim

#endif  // ZL_ZLSIM_SIMCOMMANDLINE_H
