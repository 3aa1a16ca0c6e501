// The command line of zlpoll: options anywhere among the words, the parameter
// file first, then a command and its arguments.
#ifndef ZL_ZLPOLL_OPTIONS_H
#define ZL_ZLPOLL_OPTIONS_H

#include <string>
#include <vector>

#include "common/Numbers.h"

namespace zl::poll {

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitInit = 1;           // the driver could not be loaded or Init failed
constexpr int kExitUsage = 2;          // the command line is wrong
constexpr int kExitNoAnswer = 3;       // a station did not answer in time
constexpr int kExitInterrupted = 130;  // Ctrl-C before a one-shot job was done

struct Options {
  bool Help = false;
  std::string Version;  // --version: the text to print
  bool Demo = false;
  double DurationSeconds = 40.0;  // --demo
  bool Once = false;              // -1
  int IntervalMs = 1000;
  double TimeoutSeconds = 10.0;
  bool Json = false;
  bool NoColor = false;
  std::string DriverPath;  // --driver
  std::string DriveC;      // --drive-c
  std::string Lang;        // --lang: "cs", "en" or "" (the locale's)
  int ConnectStation = 0;  // --station, for get and set
  int Block = 0;           // --block, for samples (1..3)
  bool Alt = false;        // --alt
  bool OthersOff = false;  // --others-off: binary outputs not named are sent as 0
  std::string OutDir;      // --out
  std::string ParameterFile;
  std::string Command;            // empty: info
  std::vector<std::string> Args;  // the command's words
};

// Parses the arguments after the program's name. On an error answers false
// with a one-line message that says what to write instead.
bool ParseCommandLine(const std::vector<std::string> &args, Options &out, std::string &error);

// The help: usage, commands, options and exit codes.
std::string UsageText();

using tools::ParseInt;
using tools::ParseNumber;

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_OPTIONS_H
