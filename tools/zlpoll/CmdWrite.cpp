// write, get and set: values into a station's objects, and any channel by
// number.
#include <algorithm>
#include <bit>

#include "zlpoll/Commands.h"
#include "zlpoll/DriverLib.h"
#include "zlpoll/Options.h"
#include "zlpoll/ParamFile.h"

namespace zl::poll {

namespace {

// One write of the command line, resolved to its channel.
struct Assignment {
  std::string Text;  // as given, for the report
  uint16_t Channel = 0;
  uint32_t Type = ZL_TYPE_DOUBLE;
  uint64_t Bytes = 0;
  double Number = 0;  // the value as a number (mo)
  int Station = 0;    // the station of a binary or memory output
  std::string Group;  // "bo" or "mo" for an output, else empty
};

bool SplitAssignment(const std::string &text, std::string &left, std::string &right,
                     std::string &error) {
  const std::size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0 || eq + 1 == text.size()) {
    error = "\"" + text + "\" is not NAME=VALUE";
    return false;
  }
  left = text.substr(0, eq);
  right = text.substr(eq + 1);
  return true;
}

// "bo 3=1": object 3 of the group, 1..count.
bool ObjectChannel(const std::string &n, uint16_t base, int count, const char *group,
                   uint16_t &channel, std::string &error) {
  long long v = 0;
  if (!ParseInt(n, 1, count, v)) {
    error = std::string(group) + " object \"" + n + "\" does not exist: the station has " +
            std::to_string(count);
    return false;
  }
  channel = static_cast<uint16_t>(base + v - 1);
  return true;
}

const QqVariable *FindQq(const StationConfig &st, uint16_t channel) {
  for (const QqVariable &v : st.QqVariables)
    if (v.Channel == channel) return &v;
  return nullptr;
}

// The item of a memory block on a channel, with its type and direction.
bool FindBlockItem(const StationConfig &st, uint16_t channel, uint8_t &type, uint8_t &direction) {
  for (const MemoryBlock &b : st.MemoryBlocks) {
    if (channel < b.FirstChannel || channel - b.FirstChannel >= static_cast<int>(b.ItemCount()))
      continue;
    type = b.ItemTypes[channel - b.FirstChannel];
    direction = b.ItemDirections[channel - b.FirstChannel];
    return true;
  }
  return false;
}

// Only WRITE and BIDIR variables are written to the controller (the driver
// would send a READ variable all the same), and text variables not at all.
bool QqWritable(const QqVariable &v, const std::string &channel, std::string &error) {
  if (v.Type == kQqString) {
    error = "QQ variable " + channel + " is a STRING: the driver writes no text variables";
    return false;
  }
  if (v.Direction != kQqWrite && v.Direction != kQqBidir) {
    error = "QQ variable " + channel + " is " + QqDirectionName(v.Direction) +
            ": only WRITE and BIDIR variables are written";
    return false;
  }
  return true;
}

bool Resolve(const StationConfig &st, const std::string &group, const std::string &text,
             Assignment &a, std::string &error) {
  std::string left, right;
  if (!SplitAssignment(text, left, right, error)) return false;
  a.Text = group + " " + text;
  long long channel = 0;
  if (group == "bo") {
    if (!ObjectChannel(left, st.GroupChannels[kGroupBO], st.NumBinarOut, "bo", a.Channel, error))
      return false;
    a.Type = ZL_TYPE_BOOL;
  } else if (group == "mo") {
    if (!ObjectChannel(left, st.GroupChannels[kGroupMO], st.NumMemoryOut, "mo", a.Channel, error))
      return false;
    a.Type = ZL_TYPE_DOUBLE;
  } else if (!ParseInt(left, 1, 65535, channel)) {
    error = "\"" + left + "\" is not a channel number";
    return false;
  } else if (group == "qq") {
    a.Channel = static_cast<uint16_t>(channel);
    const QqVariable *v = FindQq(st, a.Channel);
    if (!v) {
      error =
          "channel " + left + " is no QQ variable of this station (zlpoll FILE info lists them)";
      return false;
    }
    if (!QqWritable(*v, left, error)) return false;
    // A LONGINT is held as a 32-bit integer, every other type as a number.
    a.Type = v->Type == kQqLongint ? ZL_TYPE_I32 : ZL_TYPE_DOUBLE;
  } else if (group == "mb") {
    a.Channel = static_cast<uint16_t>(channel);
    uint8_t type = 0, direction = 0;
    if (!FindBlockItem(st, a.Channel, type, direction)) {
      error = "channel " + left + " is no memory block item of this station";
      return false;
    }
    if (direction != kBlkOutput && direction != kBlkBidir) {
      error = "memory block item " + left + " is an INPUT: only OUTPUT and BIDIR items are written";
      return false;
    }
    a.Type = ValueTypeOfBlockItem(type);
  }
  if (!EncodeValue(right, a.Type, a.Bytes, error)) return false;
  if (a.Type == ZL_TYPE_DOUBLE) a.Number = std::bit_cast<double>(a.Bytes);
  if (a.Type == ZL_TYPE_BOOL && a.Bytes > 1) {
    error = "a binary output takes 0 or 1, not " + right;
    return false;
  }
  return true;
}

// "CHANNEL[:TYPE]" (get) or "CHANNEL=VALUE[:TYPE]" (set).
bool ParseChannel(const std::string &text, bool withValue, Assignment &a, std::string &error) {
  std::string body = text;
  a.Type = ZL_TYPE_DOUBLE;
  const std::size_t colon = body.rfind(':');
  if (colon != std::string::npos) {
    if (!TypeFromName(body.substr(colon + 1), a.Type)) {
      error = "unknown type \"" + body.substr(colon + 1) +
              "\": use bool u8 u16 u32 i8 i16 i32 single double text buffer";
      return false;
    }
    body.resize(colon);
  }
  std::string channel = body, value;
  if (withValue && !SplitAssignment(body, channel, value, error)) return false;
  long long n = 0;
  if (!ParseInt(channel, 0, 65535, n)) {
    error = "\"" + channel + "\" is not a channel number (0..65535)";
    return false;
  }
  a.Channel = static_cast<uint16_t>(n);
  a.Text = text;
  return !withValue || EncodeValue(value, a.Type, a.Bytes, error);
}

// The ValueType a driver channel takes a write in (0: none takes one).
uint32_t DriverChannelType(uint16_t channel) {
  switch (channel) {
    case 60000:
    case 60001:
      return ZL_TYPE_U8;
    case 60002:
      return ZL_TYPE_U16;
    case 65533:
    case 65534:
      return ZL_TYPE_DOUBLE;
    case 487:
    case 60003:
    case 60021:
    case 60022:
    case 60292:
    case 65531:
    case 65535:
      return ZL_TYPE_BOOL;
    default:
      return 0;
  }
}

// The ValueType a station channel of the kind takes a write in (0: none).
uint32_t StationChannelType(ChannelKind kind) {
  switch (kind) {
    case ChannelKind::BinaryOutput:
    case ChannelKind::FlagNewBinaryInputs:
    case ChannelKind::FlagNewAnalogInputs:
    case ChannelKind::FlagNewCounters:
    case ChannelKind::FlagNewMemory:
    case ChannelKind::FlagControlError:
    case ChannelKind::FlagActiveMessage:
    case ChannelKind::ReadBinaryInputs:
    case ChannelKind::ReadAnalogZavro:
    case ChannelKind::ReadAnalogKelmar:
    case ChannelKind::ReadCounters:
    case ChannelKind::ReadMemoryInputs:
    case ChannelKind::WriteBinaryOutputs:
    case ChannelKind::WriteMemoryOutputs:
    case ChannelKind::WriteAllOutputs:
    case ChannelKind::ConnectModem:
    case ChannelKind::MemoryBlockRead:
      return ZL_TYPE_BOOL;
    case ChannelKind::MemoryOutput:
    case ChannelKind::Counter:
    case ChannelKind::ErrorCounter:
    case ChannelKind::MessageCounter:
      return ZL_TYPE_DOUBLE;
    case ChannelKind::CallCode:
      return ZL_TYPE_U32;
    default:
      return 0;
  }
}

// set writes what the driver takes: a channel the driver ignores, or takes
// in another type, would be reported written while nothing happened. Notes
// the station and group of an output.
bool CheckSetChannel(const ParamFile &file, bool othersOff, Assignment &a, std::string &error) {
  const std::string channel = std::to_string(a.Channel);
  if (const VariableMatch v = file.VariableOn(a.Channel); v.Variable) {
    if (!QqWritable(*v.Variable, channel, error)) return false;
    if (a.Type == ZL_TYPE_TEXT || a.Type == ZL_TYPE_BUFFER) {
      error = "QQ variable " + channel + " takes a number, not " + TypeName(a.Type);
      return false;
    }
    return true;
  }
  uint32_t wanted = DriverChannelType(a.Channel);
  if (!wanted) {
    const StationMatch m = file.StationChannel(a.Channel);
    if (m.StationNo == 0) {
      error = "channel " + channel +
              " is no channel of the driver or of the file's stations: nothing would be written "
              "(zlpoll FILE info lists them)";
      return false;
    }
    const std::string who = Describe(*file.At(m.StationNo), m.StationNo);
    if (m.Kind == ChannelKind::BinaryOutput || m.Kind == ChannelKind::MemoryOutput) {
      a.Station = m.StationNo;
      a.Group = m.Kind == ChannelKind::BinaryOutput ? "bo" : "mo";
    }
    const bool sendsHeld = m.Kind == ChannelKind::WriteBinaryOutputs ||
                           m.Kind == ChannelKind::WriteMemoryOutputs ||
                           m.Kind == ChannelKind::WriteAllOutputs;
    if (sendsHeld && !othersOff) {
      error = "channel " + channel + " of " + who +
              " sends every output the driver holds, and this zlpoll holds 0 for each: add "
              "--others-off to send them so (off)";
      return false;
    }
    if (m.Kind == ChannelKind::MemoryBlockItem) {
      const uint8_t direction = m.Block->ItemDirections[m.Item - 1];
      if (direction != kBlkOutput && direction != kBlkBidir) {
        error = "channel " + channel + " is an INPUT item of a memory block of " + who +
                ": only OUTPUT and BIDIR items are written";
        return false;
      }
      wanted = ValueTypeOfBlockItem(m.Block->ItemTypes[m.Item - 1]);
    } else {
      wanted = StationChannelType(m.Kind);
    }
    if (!wanted) {
      error = "channel " + channel + " is an input or status channel of " + who +
              ": the driver takes no writes on it (zlpoll FILE info lists the channels)";
      return false;
    }
  }
  if (a.Type != wanted) {
    error = "channel " + channel + " takes " + TypeName(wanted) + ": write " + channel +
            "=VALUE:" + TypeName(wanted);
    return false;
  }
  if (a.Type == ZL_TYPE_DOUBLE) a.Number = std::bit_cast<double>(a.Bytes);
  return true;
}

// A station's binary outputs leave the driver together, from the values it
// holds, and a fresh zlpoll holds 0 for every output it is not told: the
// writes name every output the driver sends with them, or --others-off says
// that the others go off, and they are written 0 (and reported so).
bool CompleteOutputs(const ParamFile &file, bool othersOff, bool asChannels,
                     std::vector<Assignment> &writes, std::string &error) {
  std::vector<int> stations;
  for (const Assignment &a : writes)
    if (a.Group == "bo" && std::find(stations.begin(), stations.end(), a.Station) == stations.end())
      stations.push_back(a.Station);
  for (int n : stations) {
    const StationConfig &st = *file.At(n);
    const uint16_t base = st.GroupChannels[kGroupBO];
    const int reach = Reach(st, Group::BO);
    std::vector<bool> named(static_cast<std::size_t>(reach) + 1, false);
    for (const Assignment &a : writes) {
      if (a.Group != "bo" || a.Station != n) continue;
      const int k = a.Channel - base + 1;
      if (k > reach) {
        error = "binary output " + std::to_string(k) + " of " + Describe(st, n) +
                " is never sent: the driver writes binary outputs in whole groups of eight, "
                "outputs 1-" +
                std::to_string(reach) + " of its " + std::to_string(st.NumBinarOut) +
                " (NUM_BINAR_OUT)";
        return false;
      }
      named[static_cast<std::size_t>(k)] = true;
    }
    std::string missing;
    for (int k = 1; k <= reach; ++k)
      if (!named[static_cast<std::size_t>(k)]) missing += " " + std::to_string(k);
    if (missing.empty()) continue;
    if (!othersOff) {
      error = "the driver sends binary outputs 1-" + std::to_string(reach) + " of " +
              Describe(st, n) +
              " together, and this zlpoll holds 0 for every output it is not told: name every "
              "one (not named:" +
              missing + "), or add --others-off to send those as 0 (off)";
      return false;
    }
    for (int k = 1; k <= reach; ++k) {
      if (named[static_cast<std::size_t>(k)]) continue;
      Assignment off;
      off.Channel = static_cast<uint16_t>(base + k - 1);
      off.Type = ZL_TYPE_BOOL;
      off.Station = n;
      off.Group = "bo";
      off.Text =
          asChannels ? std::to_string(off.Channel) + "=0:bool" : "bo " + std::to_string(k) + "=0";
      writes.push_back(off);
    }
  }
  return true;
}

// Writes every assignment and makes sure each output write left a request in
// the queue, for the driver queues an output write only when the value
// differs from the one it holds (and a binary output of a station with a
// PHONE number not at all).
void IssueWrites(Context &ctx, const std::vector<Assignment> &writes) {
  DriverSession &d = ctx.Driver;
  std::vector<std::pair<int, bool>> outputs;  // station, whether its bo writes queued one
  for (const Assignment &a : writes) {
    const double before = d.GetDouble(kChPrimaryQueued);
    d.Put(a.Channel, a.Type, a.Bytes);
    const bool queued = d.GetDouble(kChPrimaryQueued) != before;
    if (a.Group == "mo" && !queued) {
      // The frame of a memory output write is built from the value the
      // driver holds when it is sent: a detour through another value queues
      // two writes that both carry this one.
      d.PutDouble(a.Channel, a.Number == 0.0 ? 1.0 : 0.0);
      d.PutDouble(a.Channel, a.Number);
    }
    if (a.Group != "bo") continue;
    auto it =
        std::find_if(outputs.begin(), outputs.end(), [&](auto &o) { return o.first == a.Station; });
    if (it == outputs.end()) it = outputs.insert(outputs.end(), {a.Station, false});
    it->second = it->second || queued;
  }
  // One write of all binary outputs carries every value the driver holds.
  for (const auto &[n, queued] : outputs) {
    const uint16_t command = ctx.File.At(n)->StatusChannels[kOutWriteBO];
    if (!queued && command) d.PutBool(command, true);
  }
}

void Report(Context &ctx, int station, const std::vector<Assignment> &done, const Outcome &r) {
  if (ctx.Opt.Json) {
    Json o = {{"station", station}, {"ok", r.Ok()}};
    if (r.Ok()) {
      o["written"] = Json::array();
      for (const Assignment &a : done) o["written"].push_back(a.Text);
    } else {
      o["error"] = r.Message;
    }
    PrintJson(o);
  } else if (r.Ok()) {
    for (const Assignment &a : done) PrintLine("written " + a.Text);
  }
  if (!r.Ok()) PrintError(r.Message);
}

}  // namespace

bool PlanWrite(const Options &opt, const ParamFile &file, Job &job, std::string &error) {
  if (opt.Args.size() < 3) {
    error =
        "write needs a station, a group and values: write STATION bo N=0|1 ..., mo N=VALUE "
        "..., qq CHANNEL=VALUE ... or mb CHANNEL=VALUE ...";
    return false;
  }
  int station = 0;
  if (!ParseStation(opt.Args[0], file, station, error)) return false;
  const StationConfig &st = *file.At(station);
  Group g;
  if (!GroupNamed(opt.Args[1], g) || !Writable(g)) {
    error = "write takes " + GroupList(true) + ", not \"" + opt.Args[1] + "\"";
    return false;
  }
  const std::string group = GroupName(g);
  std::vector<Assignment> writes;
  for (std::size_t i = 2; i < opt.Args.size(); ++i) {
    Assignment a;
    if (!Resolve(st, group, opt.Args[i], a, error)) return false;
    if (group == "bo" || group == "mo") {
      a.Station = station;
      a.Group = group;
    }
    writes.push_back(a);
  }
  if (!CompleteOutputs(file, opt.OthersOff, false, writes, error)) return false;
  job = [station, writes](Context &ctx) {
    Outcome r = ctx.Poll.Connect(station);
    if (r.Ok()) r = ctx.Poll.Exchange(station, {}, false, [&] { IssueWrites(ctx, writes); });
    if (r.Exit != kExitInterrupted) Report(ctx, station, writes, r);
    return r.Exit;
  };
  return true;
}

bool PlanGet(const Options &opt, const ParamFile &file, Job &job, std::string &error) {
  if (opt.Args.empty()) {
    error = "get needs channels: get CHANNEL[:TYPE] ...";
    return false;
  }
  std::vector<Assignment> reads;
  for (const std::string &text : opt.Args) {
    Assignment a;
    if (!ParseChannel(text, false, a, error)) return false;
    reads.push_back(a);
  }
  if (!CheckConnectStation(opt, file, error)) return false;
  job = [reads](Context &ctx) {
    const int station = ctx.Opt.ConnectStation;
    int number = 0;
    return Repeat(ctx, [&] {
      // A QQ variable's channel is read fresh (InputRequest) when a station
      // is connected; any other channel gives what the driver holds.
      const Outcome r = WithStation(ctx, station, [&] {
        for (const Assignment &a : reads) ctx.Driver.Request(a.Channel);
      });
      if (r.Exit == kExitInterrupted) return r.Exit;
      ++number;
      if (!r.Ok()) {
        // What the driver holds is no value of the controller's.
        if (ctx.Opt.Json) {
          PrintJson({{"reading", number},
                     {"time", LocalTime(kIsoTime)},
                     {"ok", false},
                     {"error", r.Message}});
        }
        PrintError(r.Message);
        return r.Exit;
      }
      Json values = Json::array();
      Table table({"channel", "type", "value"});
      table.AlignRight(0);
      for (const Assignment &a : reads) {
        const Value v = ReadValue(ctx.Driver, a.Channel, a.Type);
        values.push_back(
            {{"channel", a.Channel}, {"type", TypeName(a.Type)}, {"value", JsonValue(v)}});
        table.Add({std::to_string(a.Channel), TypeName(a.Type), ShowValue(v)});
      }
      if (ctx.Opt.Json) {
        PrintJson({{"reading", number},
                   {"time", LocalTime(kIsoTime)},
                   {"ok", true},
                   {"values", std::move(values)}});
      } else {
        for (const std::string &line : table.Lines(ctx.Out)) PrintLine(line);
        if (!ctx.Opt.Once) PrintLine("");
      }
      return r.Exit;
    });
  };
  return true;
}

bool PlanSet(const Options &opt, const ParamFile &file, Job &job, std::string &error) {
  if (opt.Args.empty()) {
    error = "set needs values: set CHANNEL=VALUE[:TYPE] ...";
    return false;
  }
  std::vector<Assignment> writes;
  for (const std::string &text : opt.Args) {
    Assignment a;
    if (!ParseChannel(text, true, a, error)) return false;
    writes.push_back(a);
  }
  if (!opt.ConnectStation) {
    error =
        "set needs --station N: the driver lives only as long as this zlpoll, so a write that "
        "no station's gateway carries reaches nothing";
    return false;
  }
  for (Assignment &a : writes)
    if (!CheckSetChannel(file, opt.OthersOff, a, error)) return false;
  if (!CompleteOutputs(file, opt.OthersOff, true, writes, error)) return false;
  if (!CheckConnectStation(opt, file, error)) return false;
  job = [writes](Context &ctx) {
    const int station = ctx.Opt.ConnectStation;
    const Outcome r = WithStation(ctx, station, [&] { IssueWrites(ctx, writes); });
    if (r.Exit != kExitInterrupted) Report(ctx, station, writes, r);
    return r.Exit;
  };
  return true;
}

}  // namespace zl::poll
