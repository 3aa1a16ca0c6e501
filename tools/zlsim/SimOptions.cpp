#include "zlsim/SimOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace zl::sim {

namespace {

bool ParseDouble(const std::string &text, double &value) {
  if (text.empty()) return false;
  char *end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && end && *end == '\0' && std::isfinite(value);
}

bool ParseInteger(const std::string &text, long long lo, long long hi, long long &value) {
  if (text.empty()) return false;
  char *end = nullptr;
  errno = 0;
  value = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && end && *end == '\0' && value >= lo && value <= hi;
}

}  // namespace

std::string UsageText() {
  return "usage: zlsim PARAMFILE [options]\n"
         "  --bind ADDR         serve every endpoint on ADDR\n"
         "  --ephemeral         bind port 0 for every endpoint (see the PORT lines)\n"
         "  --dead STATION      the station never answers (repeatable; 1 = first [STATION])\n"
         "  --drop P            leave a request unanswered with probability P\n"
         "  --corrupt P         spoil an answer's checksum with probability P\n"
         "  --noise P           send junk bytes before an answer with probability P\n"
         "  --split             write answers one byte at a time\n"
         "  --delay MS          wait MS milliseconds before answering\n"
         "  --baud B            send at the pace of a B baud serial line\n"
         "  --error-every N     every Nth answer of a station carries a control error\n"
         "  --active-every S    send an active message every S seconds\n"
         "  --close-after N     drop the connection after N answers\n"
         "  --echo              send every frame back, as a two-wire line does\n"
         "  --late P            with probability P hold an answer back until the\n"
         "                      line's next request, and send it just before that\n"
         "                      request's answer\n"
         "  --seed N            seed of the simulated values and faults\n"
         "  --static            values do not move\n"
         "  --trace             print every frame\n"
         "  --stats             print statistics at exit and on SIGUSR1\n";
}

bool ParseCommandLine(const std::vector<std::string> &args, CommandLine &out, std::string &error) {
  out = CommandLine();
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    bool hasInlineValue = false;
    if (arg.rfind("--", 0) == 0) {
      std::size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg.resize(eq);
        hasInlineValue = true;
      }
    }
    auto needValue = [&]() -> bool {
      if (hasInlineValue) return true;
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    auto probability = [&](double &field) -> bool {
      if (!needValue()) return false;
      if (!ParseDouble(value, field) || field < 0.0 || field > 1.0) {
        error = arg + " takes a fraction from 0 to 1, not \"" + value + "\"";
        return false;
      }
      return true;
    };
    auto integer = [&](long long lo, long long hi, long long &field) -> bool {
      if (!needValue()) return false;
      if (!ParseInteger(value, lo, hi, field)) {
        error = arg + " takes a whole number from " + std::to_string(lo) + " to " +
                std::to_string(hi) + ", not \"" + value + "\"";
        return false;
      }
      return true;
    };
    FaultOptions &f = out.Options.Faults;
    long long n = 0;
    if (arg == "-h" || arg == "--help") {
      out.Help = true;
    } else if (arg == "--bind") {
      if (!needValue()) return false;
      out.Options.BindAddress = value;
    } else if (arg == "--ephemeral") {
      out.Options.Ephemeral = true;
    } else if (arg == "--dead") {
      if (!integer(1, 100, n)) return false;
      out.Options.Dead.push_back(static_cast<int>(n));
    } else if (arg == "--drop") {
      if (!probability(f.Drop)) return false;
    } else if (arg == "--corrupt") {
      if (!probability(f.Corrupt)) return false;
    } else if (arg == "--noise") {
      if (!probability(f.Noise)) return false;
    } else if (arg == "--split") {
      f.Split = true;
    } else if (arg == "--delay") {
      if (!integer(0, 600000, n)) return false;
      f.DelayMs = static_cast<int>(n);
    } else if (arg == "--baud") {
      if (!integer(1, 10000000, n)) return false;
      f.Baud = static_cast<int>(n);
    } else if (arg == "--error-every") {
      if (!integer(0, 1000000000, n)) return false;
      f.ErrorEvery = static_cast<int>(n);
    } else if (arg == "--active-every") {
      if (!needValue()) return false;
      if (!ParseDouble(value, f.ActiveEverySeconds) || f.ActiveEverySeconds <= 0.0) {
        error = "--active-every takes a number of seconds above 0, not \"" + value + "\"";
        return false;
      }
    } else if (arg == "--close-after") {
      if (!integer(0, 1000000000, n)) return false;
      f.CloseAfter = static_cast<int>(n);
    } else if (arg == "--echo") {
      f.Echo = true;
    } else if (arg == "--late") {
      if (!probability(f.Late)) return false;
    } else if (arg == "--seed") {
      if (!integer(0, INT64_MAX, n)) return false;
      out.Options.Seed = static_cast<uint64_t>(n);
    } else if (arg == "--static") {
      out.Options.Static = true;
    } else if (arg == "--trace") {
      out.Trace = true;
    } else if (arg == "--stats") {
      out.Options.Stats = true;
    } else if (arg.rfind("-", 0) == 0 && arg.size() > 1) {
      error = "unknown option " + arg;
      return false;
    } else if (out.ParameterFile.empty()) {
      out.ParameterFile = arg;
    } else {
      error = "only one parameter file can be given (" + out.ParameterFile + ", " + arg + ")";
      return false;
    }
  }
  if (out.ParameterFile.empty() && !out.Help) {
    error = "no parameter file given";
    return false;
  }
  return true;
}

}  // namespace zl::sim
