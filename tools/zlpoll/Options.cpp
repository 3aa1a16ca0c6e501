#include "zlpoll/Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "zlpoll/Groups.h"

namespace zl::poll {

bool ParseInt(const std::string &text, long long lo, long long hi, long long &value) {
  if (text.empty()) return false;
  char *end = nullptr;
  errno = 0;
  const std::size_t digits = text[0] == '-' || text[0] == '+' ? 1 : 0;
  const bool hex = text.compare(digits, 2, "0x") == 0 || text.compare(digits, 2, "0X") == 0;
  const long long v = std::strtoll(text.c_str(), &end, hex ? 16 : 10);
  if (errno != 0 || !end || *end != '\0' || v < lo || v > hi) return false;
  value = v;
  return true;
}

bool ParseNumber(const std::string &text, double &value) {
  if (text.empty()) return false;
  char *end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || !end || *end != '\0' || !std::isfinite(v)) return false;
  value = v;
  return true;
}

std::string UsageText() {
  return "usage: zlpoll [options] PARAMFILE [COMMAND ...]\n"
         "       zlpoll --demo [--duration S]\n"
         "\n"
         "commands (STATION: 1 = the first [STATION] section of the file):\n"
         "  info                           the stations, groups, channels, QQ variables\n"
         "                                 and memory blocks of the file (the default)\n"
         "  read STATION GROUP...          connect, read and print; GROUP, one of\n"
         "                                 " +
         GroupList() +
         " all\n"
         "  write STATION bo N=0|1 ...     binary outputs, every one the driver sends\n"
         "                                 with them (or --others-off); also: mo N=VALUE\n"
         "                                 ..., qq CHANNEL=VALUE ..., mb CHANNEL=VALUE ...\n"
         "  get CHANNEL[:TYPE] ...         any channel; TYPE: bool u8 u16 u32 i8 i16 i32\n"
         "                                 single double text buffer (default double)\n"
         "  set CHANNEL=VALUE[:TYPE] ...   write any channel (default double)\n"
         "  samples STATION --block B      transfer the sample memory, write the .CUC file\n"
         "                  [--alt] [--out DIR]\n"
         "  watch STATION [GROUP...]       read again and again, show values and status\n"
         "\n"
         "options:\n"
         "  -1, --once          one reading only (read, get, watch)\n"
         "  --interval MS       time between readings (default 1000)\n"
         "  --timeout S         longest wait for a connection or an answer (default 10)\n"
         "  --json              one JSON object per reading\n"
         "  --station N         get, set: connect station N first\n"
         "  --others-off        write, set: the binary outputs not named go off (0)\n"
         "  --driver PATH       the driver library (else $ZLNETDRV_LIBRARY, else beside\n"
         "                      zlpoll, else libzlnetdrv.so.1 from the system)\n"
         "  --drive-c DIR       where the driver's drive C: lies (ZLNETDRV_DRIVE_C)\n"
         "  --no-color          no colours on a terminal\n"
         "  --duration S        length of the demo (default 20)\n"
         "  -h, --help          this text\n"
         "\n"
         "exit codes: 0 done, 1 the driver could not start (Init failed), 2 usage,\n"
         "            3 a station did not answer in time, 130 interrupted\n";
}

bool ParseCommandLine(const std::vector<std::string> &args, Options &out, std::string &error) {
  out = Options();
  std::vector<std::string> words;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string value;
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0) {
      const std::size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg.resize(eq);
        inlineValue = true;
      }
    }
    auto needValue = [&]() {
      if (inlineValue) return true;
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    auto integer = [&](long long lo, long long hi, int &field) {
      long long n = 0;
      if (!needValue()) return false;
      if (!ParseInt(value, lo, hi, n)) {
        error = arg + " takes a whole number from " + std::to_string(lo) + " to " +
                std::to_string(hi) + ", not \"" + value + "\"";
        return false;
      }
      field = static_cast<int>(n);
      return true;
    };
    auto seconds = [&](double &field) {
      if (!needValue()) return false;
      if (!ParseNumber(value, field) || field <= 0.0 || field > 86400.0) {
        error = arg + " takes a number of seconds above 0, not \"" + value + "\"";
        return false;
      }
      return true;
    };
    if (arg == "-h" || arg == "--help") {
      out.Help = true;
    } else if (arg == "-1" || arg == "--once") {
      out.Once = true;
    } else if (arg == "--demo") {
      out.Demo = true;
    } else if (arg == "--duration") {
      if (!seconds(out.DurationSeconds)) return false;
    } else if (arg == "--interval") {
      if (!integer(0, 3600000, out.IntervalMs)) return false;
    } else if (arg == "--timeout") {
      if (!seconds(out.TimeoutSeconds)) return false;
    } else if (arg == "--json") {
      out.Json = true;
    } else if (arg == "--no-color") {
      out.NoColor = true;
    } else if (arg == "--driver") {
      if (!needValue()) return false;
      out.DriverPath = value;
    } else if (arg == "--drive-c") {
      if (!needValue()) return false;
      out.DriveC = value;
    } else if (arg == "--station") {
      if (!integer(1, 100, out.ConnectStation)) return false;
    } else if (arg == "--block") {
      if (!integer(1, 3, out.Block)) return false;
    } else if (arg == "--alt") {
      out.Alt = true;
    } else if (arg == "--others-off") {
      out.OthersOff = true;
    } else if (arg == "--out") {
      if (!needValue()) return false;
      out.OutDir = value;
    } else {
      error = "unknown option " + arg + " (zlpoll --help lists them)";
      return false;
    }
  }
  if (out.Help) return true;
  if (out.Demo) {
    if (!words.empty()) {
      error =
          "--demo takes no parameter file or command (it brings its own), not \"" + words[0] + "\"";
      return false;
    }
    return true;
  }
  if (words.empty()) {
    error = "no parameter file given: zlpoll PARAMFILE [COMMAND ...], or zlpoll --demo";
    return false;
  }
  out.ParameterFile = words[0];
  if (words.size() > 1) out.Command = words[1];
  if (words.size() > 2) out.Args.assign(words.begin() + 2, words.end());
  return true;
}

}  // namespace zl::poll
