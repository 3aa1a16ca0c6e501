#include "zlpoll/Commands.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "util/Text.h"
#include "zlpoll/DriverLib.h"
#include "zlpoll/Options.h"
#include "zlpoll/ParamFile.h"

namespace zl::poll {

bool PlanCommand(const Options &opt, const ParamFile &file, Job &job, std::string &error) {
  using Planner = bool (*)(const Options &, const ParamFile &, Job &, std::string &);
  static const std::pair<const char *, Planner> kPlanners[] = {
      {"read", PlanRead}, {"watch", PlanWatch}, {"write", PlanWrite},
      {"get", PlanGet},   {"set", PlanSet},     {"samples", PlanSamples},
  };
  for (const auto &[name, plan] : kPlanners)
    if (opt.Command == name) return plan(opt, file, job, error);
  error = "unknown command \"" + opt.Command +
          "\": use info, check, read, write, get, set, samples or watch";
  return false;
}

bool ParseStation(const std::string &text, const ParamFile &file, int &n, std::string &error) {
  long long v = 0;
  if (!ParseInt(text, 1, 100, v) || v > file.StationCount()) {
    error = "no station \"" + text + "\": give a number from 1 to " +
            std::to_string(file.StationCount()) + " (1 = the first [STATION] section)";
    return false;
  }
  n = static_cast<int>(v);
  return true;
}

std::string LocalTime(const char *format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[48];
  return std::string(text, std::strftime(text, sizeof text, format, &local));
}

Outcome WithStation(Context &ctx, int station, const std::function<void()> &issue) {
  if (!station) {
    issue();
    return {};
  }
  Outcome r = ctx.Poll.Connect(station);
  return r.Ok() ? ctx.Poll.Exchange(station, {}, false, issue) : r;
}

bool CheckConnectStation(const Options &opt, const ParamFile &file, std::string &error) {
  if (opt.ConnectStation <= file.StationCount()) return true;
  error = "--station " + std::to_string(opt.ConnectStation) + ": the file has " +
          std::to_string(file.StationCount()) + " stations";
  return false;
}

bool StartDriver(const Options &opt, const ParamFile &file, EventLoop &loop, StartedDriver &out,
                 std::string &error) {
  out.Library = DriverLibrary::Load(opt.DriverPath, error);
  if (!out.Library) return false;
  out.Session = std::make_unique<DriverSession>(out.Library->Api());
  loop.Attach(out.Session.get());
  if (out.Session->Init(file.Path(), error)) return true;
  error = "Init failed for " + file.Path() + ": " + error;
  return false;
}

void PrintError(const std::string &message) {
  const Style style(ColourWanted(false) && ::isatty(STDERR_FILENO));
  std::fprintf(stderr, "%s\n", style.Red("zlpoll: " + message).c_str());
  std::fflush(stderr);
}

bool Reading::AnyBrought() const {
  return std::any_of(Brought.begin(), Brought.end(),
                     [](Freshness f) { return f != Freshness::Never; });
}

bool Reading::AnyStale() const {
  return std::find(Brought.begin(), Brought.end(), Freshness::Stale) != Brought.end();
}

Reading TakeReading(Context &ctx, int station, const std::vector<Group> &groups) {
  Reading r;
  r.Station = station;
  const StationConfig &st = *ctx.File.At(station);
  r.Name = Utf8FromCp1250(st.Name.view());
  r.Result = ctx.Poll.Read(station, groups);
  // Without an answer the driver holds no fresh values of the controller's:
  // only those an earlier answer brought are shown, marked, so that none is
  // taken for the controller's present one.
  for (Group g : groups) {
    for (Item &item : ItemsOf(st, g)) {
      Value v;
      v.Type = item.Type;
      Freshness f = Freshness::Never;
      if (r.Result.Ok()) {
        v = ReadValue(ctx.Driver, item.Channel, item.Type);
        ctx.Poll.Remember(item.Channel, item.Type, v);
        f = Freshness::Fresh;
      } else if (const Value *last = ctx.Poll.Recall(item.Channel, item.Type)) {
        v = *last;
        f = Freshness::Stale;
      }
      r.Values.push_back(std::move(v));
      r.Brought.push_back(f);
      r.Items.push_back(std::move(item));
    }
  }
  return r;
}

std::vector<std::string> ReadingLines(const Reading &r, const Style &style) {
  std::vector<std::string> lines;
  lines.push_back(style.Bold(r.Name) + " (station " + std::to_string(r.Station) + ")  reading " +
                  std::to_string(r.Number) + "  " + LocalTime(kClockTime));
  if (!r.AnyBrought()) return lines;
  Table table({"group", "object", "channel", "value", "kind"});
  table.AlignRight(1);
  table.AlignRight(2);
  for (std::size_t i = 0; i < r.Items.size(); ++i) {
    const Item &item = r.Items[i];
    std::string value = ShowValue(r.Values[i], r.Brought[i]);
    if (item.Type == ZL_TYPE_BOOL && r.Brought[i] == Freshness::Fresh && r.Values[i].Number != 0)
      value = style.Green(value);
    table.Add({style.Cyan(GroupName(item.Of)), item.Label, std::to_string(item.Channel), value,
               item.Kind});
  }
  for (std::string &line : table.Lines(style)) lines.push_back(std::move(line));
  if (r.AnyStale())
    lines.push_back(std::string(kStaleMark) + " stale: the last value an answer brought");
  return lines;
}

Json ReadingJson(const Reading &r, const Json &status) {
  Json o = {{"station", r.Station},
            {"name", r.Name},
            {"reading", r.Number},
            {"time", LocalTime(kIsoTime)},
            {"ok", r.Result.Ok()}};
  if (!r.Result.Ok()) o["error"] = r.Result.Message;
  if (!status.is_null()) o["status"] = status;
  Json objects = Json::array();
  for (std::size_t i = 0; i < r.Items.size(); ++i) {
    const Item &item = r.Items[i];
    Json x = {{"group", GroupName(item.Of)},
              {"object", item.Label},
              {"channel", item.Channel},
              {"type", TypeName(item.Type)},
              {"value", JsonValue(r.Values[i], r.Brought[i])}};
    if (r.Brought[i] == Freshness::Stale) x["stale"] = true;
    if (!item.Kind.empty()) x["kind"] = item.Kind;
    objects.push_back(std::move(x));
  }
  o["objects"] = std::move(objects);
  return o;
}

int Repeat(Context &ctx, const std::function<int()> &turn) {
  int last = kExitOk;
  for (;;) {
    const int code = turn();
    if (ctx.Opt.Once || code == kExitUsage) return code;
    // Ctrl-C is how a repeated reading ends: the last complete turn counts.
    if (code == kExitInterrupted) return last;
    last = code;
    if (!ctx.Loop.PumpFor(ctx.Opt.IntervalMs / 1000.0)) return last;
  }
}

}  // namespace zl::poll
