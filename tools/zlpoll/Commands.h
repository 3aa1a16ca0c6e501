// The commands of zlpoll. Each command is planned first, from the command
// line and the parameter file alone (a usage error is found before the driver
// is loaded), and then run against the driver.
#ifndef ZL_ZLPOLL_COMMANDS_H
#define ZL_ZLPOLL_COMMANDS_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/LoadContext.h"
#include "zlpoll/Groups.h"
#include "zlpoll/Output.h"
#include "zlpoll/Poller.h"
#include "zlpoll/Values.h"

namespace zl::tools {
class DriverLibrary;
}  // namespace zl::tools

namespace zl::poll {

struct Options;
class ParamFile;
using tools::DriverLibrary;

// What a running command works with.
struct Context {
  const Options &Opt;
  const ParamFile &File;
  DriverSession &Driver;
  EventLoop &Loop;
  Poller &Poll;
  Style Out;
};

// A planned command; answers the exit code.
using Job = std::function<int(Context &)>;

// Plans the command of the options. False with a usage message (exit code 2).
bool PlanCommand(const Options &opt, const ParamFile &file, Job &job, std::string &error);

// The planners of the commands that run against the driver.
bool PlanRead(const Options &opt, const ParamFile &file, Job &job, std::string &error);
bool PlanWatch(const Options &opt, const ParamFile &file, Job &job, std::string &error);
bool PlanWrite(const Options &opt, const ParamFile &file, Job &job, std::string &error);
bool PlanGet(const Options &opt, const ParamFile &file, Job &job, std::string &error);
bool PlanSet(const Options &opt, const ParamFile &file, Job &job, std::string &error);
bool PlanSamples(const Options &opt, const ParamFile &file, Job &job, std::string &error);

// Commands that need no driver.
int RunInfo(const Options &opt, const ParamFile &file, const Style &out);
int RunDemo(const Options &opt);
// cuc FILE...: sample files as CSV or JSON (the files are opt.Args).
int RunCuc(const Options &opt);
// check: every finding of the parameter file; 0 when the driver loads it
// as written, 1 otherwise.
int RunCheck(const Options &opt, const Style &out);
// The findings of a check, in file order, their texts in UTF-8 (a file that
// cannot be read: one refusal without a place). loaded: whether Init would
// load the file.
std::vector<LoadFinding> CheckParameterFile(const std::string &path, bool &loaded);

// --- shared by the commands

// "3" -> station 3 of the file.
bool ParseStation(const std::string &text, const ParamFile &file, int &n, std::string &error);

// The values of one reading of a station.
struct Reading {
  int Station = 0;
  std::string Name;  // UTF-8
  int Number = 0;    // 1, 2, ... for repeated readings
  std::vector<Item> Items;
  std::vector<Value> Values;       // one per item: what the driver holds
  std::vector<Freshness> Brought;  // one per item: whether an answer brought it
  Outcome Result;                  // whether they were read fresh
  // Whether any value is one an answer brought (else there is nothing to show).
  bool AnyBrought() const;
  bool AnyStale() const;
};

// Reads the groups: every item with the value an answer brought now, else
// the last one an answer brought (stale), else none.
Reading TakeReading(Context &ctx, int station, const std::vector<Group> &groups);
// A table per reading, for people.
std::vector<std::string> ReadingLines(const Reading &r, const Style &style);
// One JSON object per reading, for scripts; status: the status window as a
// JSON object, or null.
Json ReadingJson(const Reading &r, const Json &status = nullptr);
// The local time as strftime writes it: "%H:%M:%S" for people, kIsoTime for
// scripts.
constexpr const char *kClockTime = "%H:%M:%S";
constexpr const char *kIsoTime = "%Y-%m-%dT%H:%M:%S%z";
std::string LocalTime(const char *format);

// Prints a failure on standard error (in red on a terminal).
void PrintError(const std::string &message);

// Connects the station (0: none) and runs issue() as one exchange with it;
// without a station, issue() alone (the values the driver holds).
Outcome WithStation(Context &ctx, int station, const std::function<void()> &issue);
// The --station of get and set names a station of the file.
bool CheckConnectStation(const Options &opt, const ParamFile &file, std::string &error);

// The driver library loaded and its driver initialised with the file.
struct StartedDriver {
  std::unique_ptr<DriverLibrary> Library;
  std::unique_ptr<DriverSession> Session;  // destroyed first: Done, DisposeDriver
};
// False with the message (exit code 1) when the library does not load or Init
// fails. The session is attached to the loop.
bool StartDriver(const Options &opt, const ParamFile &file, EventLoop &loop, StartedDriver &out,
                 std::string &error);

// Runs job every --interval until Ctrl-C, or once with -1. Answers the exit
// code of the last turn (Ctrl-C between turns ends with that code).
int Repeat(Context &ctx, const std::function<int()> &turn);

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_COMMANDS_H
