// read and watch: the groups of one station, read again and again (or once).
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "zlpoll/Commands.h"
#include "zlpoll/DriverLib.h"
#include "zlpoll/Options.h"
#include "zlpoll/ParamFile.h"
#include "zlpoll/Screen.h"

namespace zl::poll {

namespace {

// The groups of a station and whether any of them needs the line (bo alone
// shows what the driver holds).
struct Selection {
  int Station = 0;
  std::vector<Group> Groups;
  bool NeedsLine = false;
};

bool Select(const ParamFile &file, const std::string &stationText,
            const std::vector<std::string> &names, Selection &out, std::string &error) {
  if (!ParseStation(stationText, file, out.Station, error)) return false;
  const StationConfig &st = *file.At(out.Station);
  if (!SelectGroups(st, out.Station, names, out.Groups, error)) return false;
  out.NeedsLine = std::any_of(out.Groups.begin(), out.Groups.end(), [&](Group g) {
    const ReadPlan plan = PlanOf(st, g);
    return !plan.Commands.empty() || !plan.Requests.empty();
  });
  return true;
}

// A reading with its connection: the gateway is (re)connected when needed.
Reading Turn(Context &ctx, const Selection &sel, int number) {
  Reading r;
  if (sel.NeedsLine) {
    Outcome c = ctx.Poll.Connect(sel.Station);
    if (!c.Ok()) {
      r.Station = sel.Station;
      r.Number = number;
      r.Result = std::move(c);
      return r;
    }
  }
  r = TakeReading(ctx, sel.Station, sel.Groups);
  r.Number = number;
  return r;
}

}  // namespace

bool PlanRead(const Options &opt, const ParamFile &file, Job &job, std::string &error) {
  if (opt.Args.size() < 2) {
    error =
        "read needs a station and groups: read STATION GROUP... (GROUP: " + GroupList() + " all)";
    return false;
  }
  Selection sel;
  if (!Select(file, opt.Args[0], {opt.Args.begin() + 1, opt.Args.end()}, sel, error)) return false;
  job = [sel](Context &ctx) {
    int number = 0;
    return Repeat(ctx, [&] {
      const Reading r = Turn(ctx, sel, ++number);
      if (r.Result.Exit == kExitInterrupted) return r.Result.Exit;
      if (ctx.Opt.Json) {
        PrintJson(ReadingJson(r));
      } else if (r.AnyBrought()) {
        for (const std::string &line : ReadingLines(r, ctx.Out)) PrintLine(line);
        PrintLine("");
      }
      if (!r.Result.Ok()) PrintError(r.Result.Message);
      return r.Result.Exit;
    });
  };
  return true;
}

bool PlanWatch(const Options &opt, const ParamFile &file, Job &job, std::string &error) {
  if (opt.Args.empty()) {
    error = "watch needs a station: watch STATION [GROUP...] (all groups when none is named)";
    return false;
  }
  std::vector<std::string> names(opt.Args.begin() + 1, opt.Args.end());
  if (names.empty()) names.push_back("all");
  Selection sel;
  if (!Select(file, opt.Args[0], names, sel, error)) return false;
  job = [sel](Context &ctx) {
    const StationConfig &st = *ctx.File.At(sel.Station);
    const bool full = ::isatty(STDOUT_FILENO) && !ctx.Opt.Json;
    TerminalKeys keys;
    if (keys.Active()) {
      ctx.Loop.OnKey([&](char c) {
        if (c == 'q' || c == 'Q') ctx.Loop.Quit();
      });
    }
    Screen screen(full);
    std::vector<std::string> eventsShown;
    int number = 0;
    const int code = Repeat(ctx, [&] {
      const Reading r = Turn(ctx, sel, ++number);
      if (r.Result.Exit == kExitInterrupted) return r.Result.Exit;
      const StatusWindow w = ParseStatusWindow(ctx.Driver.StatusWindowJson());
      if (ctx.Opt.Json) {
        PrintJson(ReadingJson(r, StatusJson(w)));
      } else if (full) {
        std::vector<std::string> lines = {
            ctx.Out.Bold("zlpoll watch") + "  " + Describe(st, sel.Station) + "  " + Gateway(st) +
                "  reading " + std::to_string(r.Number) + "  " + LocalTime(kClockTime) +
                (keys.Active() ? "   q quits" : ""),
            r.Result.Ok() ? ctx.Out.Green("answered")
                          : ctx.Out.Red(OneLine(r.Result.Message)) +
                                (r.AnyStale() ? std::string("   ") + kStaleMark + " stale" : ""),
            ""};
        const auto table = CompactLines(r, ctx.Out);
        const auto status = StatusLines(w, ctx.Out, screen.Width());
        for (const std::string &line : SideBySide(table, status, screen.Width()))
          lines.push_back(line);
        screen.Draw(lines);
      } else {
        // Plain lines: the reading, the status labels, and the event lines
        // that are new since the last reading.
        for (const std::string &line : ReadingLines(r, ctx.Out)) PrintLine(line);
        if (!r.Result.Ok()) PrintLine("no answer: " + r.Result.Message);
        PrintLine("Label1: " + OneLine(w.QueueStatusLabel));
        PrintLine("Label2: " + OneLine(w.ActivityLabel));
        for (const std::string &e : NewEvents(eventsShown, w.Events))
          PrintLine("event: " + OneLine(e));
        eventsShown = w.Events;
        PrintLine("");
      }
      return r.Result.Exit;
    });
    return code;
  };
  return true;
}

}  // namespace zl::poll
