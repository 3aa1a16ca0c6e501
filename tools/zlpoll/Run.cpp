// zlpoll's whole run, from its command line to its exit code; main() only
// calls it, so that the program's own file stays small to compile.
#include "zlpoll/Run.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/Language.h"
#include "zlpoll/Commands.h"
#include "zlpoll/DriverLib.h"
#include "zlpoll/Options.h"
#include "zlpoll/ParamFile.h"

namespace zl::poll {

int Run(int argc, char **argv) {
  ::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  Options opt;
  std::string error;
  if (!ParseCommandLine(args, opt, error)) {
    std::fprintf(stderr, "zlpoll: %s\n(zlpoll --help lists the commands and options)\n",
                 error.c_str());
    return kExitUsage;
  }
  if (opt.Help) {
    std::fputs(UsageText().c_str(), stdout);
    return kExitOk;
  }
  if (!opt.Version.empty()) {
    std::printf("%s\n", opt.Version.c_str());
    return kExitOk;
  }
  // The reader's messages here and the driver's (loaded later) speak alike.
  tools::UseLanguage(tools::ChooseLanguage(opt.Lang));
  if (!opt.DriveC.empty()) ::setenv("ZLNETDRV_DRIVE_C", opt.DriveC.c_str(), 1);
  if (opt.Demo) return RunDemo(opt);
  if (opt.Command == "cuc") return RunCuc(opt);

  const Style out(ColourWanted(opt.NoColor));
  if (opt.Command == "check") return RunCheck(opt, out);
  ParamFile file;
  if (!file.Load(opt.ParameterFile, error)) {
    PrintError(opt.ParameterFile + ": " + error +
               "\n  the driver's Init fails the same way: check the path and the file "
               "(examples/demo.par is one that loads)");
    return kExitInit;
  }
  if (opt.Command.empty() || opt.Command == "info") {
    if (!opt.Args.empty()) {
      PrintError("info takes no arguments");
      return kExitUsage;
    }
    return RunInfo(opt, file, out);
  }
  Job job;
  if (!PlanCommand(opt, file, job, error)) {
    PrintError(error);
    return kExitUsage;
  }

  // The loop comes first: it blocks Ctrl-C for every thread started after it,
  // the driver's among them, and takes it through its own descriptor.
  EventLoop loop;
  StartedDriver driver;
  if (!StartDriver(opt, file, loop, driver, error)) {
    PrintError(error);
    return kExitInit;
  }
  Poller poller(*driver.Session, loop, file, opt.TimeoutSeconds);
  Context ctx{opt, file, *driver.Session, loop, poller, out};
  return job(ctx);
}

}  // namespace zl::poll
