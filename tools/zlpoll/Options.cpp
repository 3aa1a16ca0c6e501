#include "zlpoll/Options.h"

#include <CLI/CLI.hpp>

#include "common/CommandLine.h"
#include "common/Language.h"
#include "zlpoll/Groups.h"

namespace zl::poll {

namespace {

std::string CommandsText() {
  return "commands (STATION: 1 = the first [STATION] section of the file):\n"
         "  info                           the stations, groups, channels, QQ variables\n"
         "                                 and memory blocks of the file (the default),\n"
         "                                 the driver library and its state folder\n"
         "  check                          every problem of the file: what Init refuses,\n"
         "                                 what the driver takes otherwise than written\n"
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
         "zlpoll cuc FILE...               sample files (.CUC) as CSV, or JSON with --json\n";
}

// Declares every option on app, stored into out; the words that are no
// option land in words.
void Declare(CLI::App &app, Options &out, std::vector<std::string> &words) {
  tools::SetUpApp(app,
                  "zlpoll [options] PARAMFILE [COMMAND ...]\n"
                  "       zlpoll --demo [--duration S]\n\n" +
                      CommandsText());
  app.footer(
      "exit codes: 0 done, 1 the driver could not start (Init failed) or check found\n"
      "            problems, 2 usage,\n"
      "            3 a station did not answer in time, 130 interrupted");
  app.add_flag("-1,--once", out.Once, "one reading only (read, get, watch)");
  tools::AddWholeNumber(app, "--interval", out.IntervalMs, 0, 3600000,
                        "time between readings (default 1000)")
      ->type_name("MS");
  tools::AddSeconds(app, "--timeout", out.TimeoutSeconds, 86400.0,
                    "longest wait for a connection or an answer (default 10)");
  app.add_flag("--json", out.Json, "one JSON object per reading");
  tools::AddWholeNumber(app, "--station", out.ConnectStation, 1, 100,
                        "get, set: connect station N first");
  app.add_flag("--others-off", out.OthersOff,
               "write, set: the binary outputs not named go off (0)");
  tools::AddText(app, "--driver", out.DriverPath,
                 "the driver library (else $ZLNETDRV_LIBRARY, else beside zlpoll, else "
                 "libzlnetdrv.so.1 from the system)")
      ->type_name("PATH");
  tools::AddText(app, "--drive-c", out.DriveC,
                 "where the driver's drive C: lies (ZLNETDRV_DRIVE_C)")
      ->type_name("DIR");
  tools::AddLanguageOption(app, out.Lang);
  app.add_flag("--no-color", out.NoColor, "no colours on a terminal");
  tools::AddWholeNumber(app, "--block", out.Block, 1, 3, "samples: the sample block (1..3)")
      ->type_name("B");
  app.add_flag("--alt", out.Alt, "samples: the alternative request kinds");
  tools::AddText(app, "--out", out.OutDir, "samples: copy the .CUC file into DIR")
      ->type_name("DIR");
  app.add_flag("--demo", out.Demo, "the driver against its embedded simulator");
  tools::AddSeconds(app, "--duration", out.DurationSeconds, 86400.0,
                    "length of the demo (default 20)");
  // Options may stand anywhere among the words; a -- ends them.
  app.add_option("words", words)->group("");
}

}  // namespace

std::string UsageText() {
  CLI::App app("", "zlpoll");
  Options unused;
  std::vector<std::string> words;
  Declare(app, unused, words);
  return app.help();
}

bool ParseCommandLine(const std::vector<std::string> &args, Options &out, std::string &error) {
  out = Options();
  CLI::App app("", "zlpoll");
  std::vector<std::string> words;
  Declare(app, out, words);
  if (!tools::Parse(app, args, out.Help, out.Version, error)) return false;
  if (out.Help || !out.Version.empty()) return true;
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
  if (words[0] == "cuc") {  // zlpoll cuc FILE...: no parameter file
    out.Command = words[0];
    out.Args.assign(words.begin() + 1, words.end());
    return true;
  }
  out.ParameterFile = words[0];
  if (words.size() > 1) out.Command = words[1];
  if (words.size() > 2) out.Args.assign(words.begin() + 2, words.end());
  return true;
}

}  // namespace zl::poll
