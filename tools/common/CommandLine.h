// The command lines of the tools: options declared on a CLI11 application,
// with the value checks and the one-line usage messages both tools give.
#ifndef ZL_TOOLS_COMMON_COMMANDLINE_H
#define ZL_TOOLS_COMMON_COMMANDLINE_H

#include <functional>
#include <string>
#include <vector>

#include "common/Numbers.h"

// The CLI11 types these helpers take; only the files that declare options
// include CLI11 itself.
namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace zl::tools {

// An option that takes a whole number from lo to hi; store receives each
// value given, in order (so a repeated option can collect them, or the last
// one wins). A value out of range stops the parse with "NAME takes a whole
// number from LO to HI, not "VALUE"".
CLI::Option *AddWholeNumber(CLI::App &app, const std::string &name, long long lo, long long hi,
                            std::function<void(long long)> store, const std::string &description);

template <class T>
CLI::Option *AddWholeNumber(CLI::App &app, const std::string &name, T &field, long long lo,
                            long long hi, const std::string &description) {
  return AddWholeNumber(
      app, name, lo, hi, [&field](long long v) { field = static_cast<T>(v); }, description);
}

// A number of seconds above 0 and at most max.
CLI::Option *AddSeconds(CLI::App &app, const std::string &name, double &field, double max,
                        const std::string &description);
// A probability: a fraction from 0 to 1.
CLI::Option *AddFraction(CLI::App &app, const std::string &name, double &field,
                         const std::string &description);
// A text.
CLI::Option *AddText(CLI::App &app, const std::string &name, std::string &field,
                     const std::string &description);

// The application's -h/--help, --version and the usage lines that open its
// help (without "usage: ").
void SetUpApp(CLI::App &app, const std::string &usage);

// Parses the arguments after the program's name. False with a one-line
// message that names the option at fault; help is set for -h/--help, version
// to the text to print for --version.
bool Parse(CLI::App &app, const std::vector<std::string> &args, bool &help, std::string &version,
           std::string &error);

}  // namespace zl::tools

#endif  // ZL_TOOLS_COMMON_COMMANDLINE_H
