#include "zlsim/SimCommandLine.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <limits>

#include "common/CommandLine.h"
#include "common/Language.h"

namespace zl::sim {

namespace {

// Declares every option on app, stored into out; the words that are no option
// land in words.
void Declare(CLI::App &app, CommandLine &out, std::vector<std::string> &words) {
  tools::SetUpApp(app, "zlsim PARAMFILE [options]");
  SimOptions &o = out.Options;
  FaultOptions &f = o.Faults;
  tools::AddText(app, "--bind", o.BindAddress, "serve every endpoint on ADDR")->type_name("ADDR");
  app.add_flag("--ephemeral", o.Ephemeral, "bind port 0 for every endpoint (see the PORT lines)");
  tools::AddWholeNumber(
      app, "--dead", 1, 100, [&o](long long n) { o.Dead.push_back(static_cast<int>(n)); },
      "the station never answers (repeatable; 1 = first [STATION])")
      ->type_name("STATION");
  tools::AddFraction(app, "--drop", f.Drop, "leave a request unanswered with probability P");
  tools::AddFraction(app, "--corrupt", f.Corrupt, "spoil an answer's checksum with probability P");
  tools::AddFraction(app, "--noise", f.Noise,
                     "send junk bytes before an answer with probability P");
  app.add_flag("--split", f.Split, "write answers one byte at a time");
  tools::AddWholeNumber(app, "--delay", f.DelayMs, 0, 600000,
                        "wait MS milliseconds before answering")
      ->type_name("MS");
  tools::AddWholeNumber(app, "--baud", f.Baud, 1, 10000000,
                        "send at the pace of a B baud serial line")
      ->type_name("B");
  tools::AddWholeNumber(app, "--error-every", f.ErrorEvery, 0, 1000000000,
                        "every Nth answer of a station carries a control error");
  tools::AddSeconds(app, "--active-every", f.ActiveEverySeconds, std::numeric_limits<double>::max(),
                    "send an active message every S seconds");
  tools::AddWholeNumber(app, "--close-after", f.CloseAfter, 0, 1000000000,
                        "drop the connection after N answers");
  app.add_flag("--echo", f.Echo, "send every frame back, as a two-wire line does");
  tools::AddFraction(app, "--late", f.Late,
                     "with probability P hold an answer back until the line's next request, "
                     "and send it just before that request's answer");
  tools::AddWholeNumber(app, "--seed", o.Seed, 0, INT64_MAX,
                        "seed of the simulated values and faults");
  app.add_flag("--static", o.Static, "values do not move");
  app.add_flag("--trace", out.Trace, "print every frame");
  tools::AddLanguageOption(app, out.Lang);
  app.add_flag("--stats", o.Stats, "print statistics at exit and on SIGUSR1");
  app.add_option("words", words)->group("");
}

}  // namespace

std::string UsageText() {
  CLI::App app("", "zlsim");
  CommandLine unused;
  std::vector<std::string> words;
  Declare(app, unused, words);
  return app.help();
}

bool ParseCommandLine(const std::vector<std::string> &args, CommandLine &out, std::string &error) {
  out = CommandLine();
  CLI::App app("", "zlsim");
  std::vector<std::string> words;
  Declare(app, out, words);
  if (!tools::Parse(app, args, out.Help, out.Version, error)) return false;
  if (out.Help || !out.Version.empty()) return true;
  if (words.empty()) {
    error = "no parameter file given";
    return false;
  }
  if (words.size() > 1) {
    error = "only one parameter file can be given (" + words[0] + ", " + words[1] + ")";
    return false;
  }
  out.ParameterFile = words[0];
  return true;
}

}  // namespace zl::sim
