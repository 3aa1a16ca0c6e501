// info: what the driver reads in the parameter file, station by station.
#include <cstdio>
#include <memory>

#include "port/DrivePath.h"
#include "util/Text.h"
#include "zlpoll/Commands.h"
#include "zlpoll/DriverLib.h"
#include "zlpoll/Options.h"
#include "zlpoll/ParamFile.h"
#include "zlpoll/StatusWindow.h"

namespace zl::poll {

namespace {

std::string Range(uint16_t first, int count) {
  if (count <= 0) return "-";
  if (count == 1) return std::to_string(first);
  return std::to_string(first) + "-" + std::to_string(first + count - 1);
}

// A group of the station as info shows it: the same list of groups that
// read, watch and write take.
struct GroupRow {
  Group Id;
  int Count = 0;
  std::vector<uint16_t> Channels;
  const char *Read = "yes";  // "yes", "partly" or "no"
  bool Write = false;
  std::string Notes;
};

std::vector<uint16_t> ChannelsOf(const StationConfig &st, Group g) {
  std::vector<uint16_t> out;
  if (g == Group::QQ) {
    for (const QqVariable &v : st.QqVariables) out.push_back(v.Channel);
  } else if (g == Group::MB) {
    for (const Item &item : ItemsOf(st, g)) out.push_back(item.Channel);
  } else {
    constexpr int kFirst[] = {kGroupBI, kGroupBO, kGroupAI, kGroupAI, kGroupCT, kGroupMO, kGroupMI};
    const uint16_t first = st.GroupChannels[kFirst[static_cast<int>(g)]];
    for (int k = 0; k < ConfiguredCount(st, g); ++k)
      out.push_back(static_cast<uint16_t>(first + k));
  }
  return out;
}

// "1-16", "2500-2506", "3000-3003 3100-3102".
std::string Ranges(const std::vector<uint16_t> &channels) {
  std::string out;
  for (std::size_t i = 0; i < channels.size();) {
    std::size_t j = i + 1;
    while (j < channels.size() && channels[j] == channels[j - 1] + 1) ++j;
    out += (out.empty() ? "" : " ") + Range(channels[i], static_cast<int>(j - i));
    i = j;
  }
  return out.empty() ? "-" : out;
}

bool AnyWritable(const StationConfig &st, Group g) {
  if (g == Group::QQ) {
    for (const QqVariable &v : st.QqVariables)
      if (v.Direction != kQqRead && v.Type != kQqString) return true;
    return false;
  }
  if (g == Group::MB) {
    for (const MemoryBlock &b : st.MemoryBlocks)
      for (std::size_t k = 0; k < b.ItemCount(); ++k)
        if (b.ItemDirections[k] != kBlkInput) return true;
    return false;
  }
  return Writable(g);
}

std::string Hex(std::string_view bytes) {
  if (bytes.empty()) return "none";
  std::string out;
  for (char c : bytes) {
    char text[4];
    std::snprintf(text, sizeof text, "%s%02X", out.empty() ? "" : " ", static_cast<uint8_t>(c));
    out += text;
  }
  return out;
}

std::string Inverted(const bool *bits, int count) {
  std::string out;
  for (int n = 1; n <= count; ++n)
    if (bits[n]) out += (out.empty() ? "inverted: " : " ") + std::to_string(n);
  return out;
}

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

std::string BlockItems(const MemoryBlock &b) {
  std::string out;
  for (std::size_t k = 0; k < b.ItemCount(); ++k) {
    out += (k ? ", " : "") + std::string(ItemTypeName(b.ItemTypes[k])) + " " +
           BlockDirectionName(b.ItemDirections[k]);
  }
  return out;
}

std::vector<GroupRow> GroupRows(const StationConfig &st, int n) {
  std::vector<GroupRow> rows;
  for (Group g : AllGroups()) {
    GroupRow row;
    row.Id = g;
    row.Count = ConfiguredCount(st, g);
    if (row.Count == 0) continue;
    row.Channels = ChannelsOf(st, g);
    const ReadLimit limit = LimitOf(st, n, g);
    row.Read = limit.Unreadable ? "no" : limit.Why.empty() ? "yes" : "partly";
    row.Write = AnyWritable(st, g);
    if (g == Group::BI) row.Notes = Inverted(st.BinarInXor, st.NumBinarIn);
    if (g == Group::BO) row.Notes = Inverted(st.BinarOutXor, st.NumBinarOut);
    if (g == Group::AI) row.Notes = "analog block at " + std::to_string(st.AnalogInAddr);
    if (g == Group::AIK) row.Notes = "the ai channels, read as raw words";
    if (g == Group::MI && st.MemoryInBlockRead) row.Notes = "ARRAY: read as one block";
    if (g == Group::BO && Reach(st, g) < row.Count) {
      row.Notes += std::string(row.Notes.empty() ? "" : "; ") + "outputs " +
                   std::to_string(Reach(st, g) + 1) + "-" + std::to_string(row.Count) +
                   " are never sent: the driver writes whole groups of eight";
    }
    // Why a group can never be read as configured.
    if (!limit.Why.empty() && g != Group::BO && !(g == Group::MO && !st.DialFlag))
      row.Notes += (row.Notes.empty() ? "" : "; ") + limit.Why;
    rows.push_back(std::move(row));
  }
  return rows;
}

void PrintStation(const StationConfig &st, int n, const Style &out) {
  PrintLine(out.Bold("station " + std::to_string(n) + "  " + Utf8FromCp1250(st.Name.view())) +
            "  address " + std::to_string(st.Address) + "  retranslation " +
            std::to_string(st.Retranslation) + "  gateway " + Gateway(st) +
            (st.Phone.empty()
                 ? ""
                 : "  phone " + Utf8FromCp1250(st.Phone.view()) + (st.DialFlag ? " (dials)" : "")));
  Table groups({"group", "objects", "channels", "read", "write", "notes"});
  groups.AlignRight(1);
  for (const GroupRow &g : GroupRows(st, n)) {
    const std::string read = g.Read;
    groups.Add({out.Cyan(GroupName(g.Id)), std::to_string(g.Count), Ranges(g.Channels),
                read == "yes" ? read : out.Yellow(read), g.Write ? "yes" : "-", g.Notes});
  }
  for (const std::string &line : groups.Lines(out, "  ")) PrintLine(line);

  Table status({"status channel", "", "", "", "", ""});
  std::vector<std::string> row;
  auto cell = [&](const std::string &keyword, uint16_t channel) {
    row.push_back(keyword);
    row.push_back(std::to_string(channel));
    if (row.size() == 6) {
      status.Add(row);
      row.clear();
    }
  };
  for (int k = 0; k < kStatusChannelCount; ++k)
    cell(StatusKeyword(static_cast<StatusChannel>(k)), st.StatusChannels[k]);
  cell("MsgCounter", st.MsgCounterChannel);
  cell("name_channel", st.NameChannel);
  cell("CallCode", st.CallCodeChannel);
  if (!row.empty()) status.Add(row);
  for (int c : {1, 3, 5}) status.AlignRight(static_cast<std::size_t>(c));
  for (const std::string &line : status.Lines(out, "  ")) PrintLine(line);

  if (!st.QqVariables.empty()) {
    Table qq({"QQ channel", "direction", "type", "address"});
    qq.AlignRight(0);
    for (const QqVariable &v : st.QqVariables)
      qq.Add({std::to_string(v.Channel), QqDirectionName(v.Direction), ItemTypeName(v.Type),
              QqAddressText(v)});
    for (const std::string &line : qq.Lines(out, "  ")) PrintLine(line);
  }
  if (!st.MemoryBlocks.empty()) {
    Table blocks({"memory block", "address", "channels", "read", "items"});
    int b = 0;
    for (const MemoryBlock &block : st.MemoryBlocks) {
      char address[8];
      std::snprintf(address, sizeof address, "%04X", static_cast<uint16_t>(block.Address));
      blocks.Add({std::to_string(++b), address,
                  Range(block.FirstChannel, static_cast<int>(block.ItemCount())),
                  std::to_string(block.ReadChannel), BlockItems(block)});
    }
    for (const std::string &line : blocks.Lines(out, "  ")) PrintLine(line);
  }
  PrintLine("");
}

Json StationJson(const StationConfig &st, int n) {
  Json groups = Json::object();
  for (const GroupRow &g : GroupRows(st, n)) {
    Json x = {{"count", g.Count},
              {"first", g.Channels.empty() ? 0 : g.Channels[0]},
              {"channels", Ranges(g.Channels)},
              {"read", g.Read},
              {"write", g.Write}};
    if (!g.Notes.empty()) x["notes"] = g.Notes;
    groups[GroupName(g.Id)] = std::move(x);
  }
  Json status = Json::object();
  for (int k = 0; k < kStatusChannelCount; ++k)
    status[StatusKeyword(static_cast<StatusChannel>(k))] = st.StatusChannels[k];
  status["MsgCounter"] = st.MsgCounterChannel;
  status["name_channel"] = st.NameChannel;
  status["CallCode"] = st.CallCodeChannel;
  Json qq = Json::array(), blocks = Json::array();
  for (const QqVariable &v : st.QqVariables) {
    qq.push_back({{"channel", v.Channel},
                  {"direction", QqDirectionName(v.Direction)},
                  {"type", ItemTypeName(v.Type)},
                  {"address", QqAddressText(v)}});
  }
  for (const MemoryBlock &b : st.MemoryBlocks) {
    Json items = Json::array();
    for (std::size_t k = 0; k < b.ItemCount(); ++k) {
      items.push_back({{"channel", static_cast<uint16_t>(b.FirstChannel + k)},
                       {"type", ItemTypeName(b.ItemTypes[k])},
                       {"direction", BlockDirectionName(b.ItemDirections[k])}});
    }
    blocks.push_back({{"address", static_cast<uint16_t>(b.Address)},
                      {"read", b.ReadChannel},
                      {"items", std::move(items)}});
  }
  return {{"station", n},
          {"name", Utf8FromCp1250(st.Name.view())},
          {"address", st.Address},
          {"retranslation", st.Retranslation},
          {"ip", Utf8FromCp1250(st.Ip.view())},
          {"port", st.Port},
          {"phone", Utf8FromCp1250(st.Phone.view())},
          {"dials", st.DialFlag},
          {"groups", std::move(groups)},
          {"status", std::move(status)},
          {"qq", std::move(qq)},
          {"blocks", std::move(blocks)}};
}

// The library this zlpoll loads, and where the driver keeps its debug log and
// sample files when the host names no folder for drive C:.
struct Environment {
  std::string Library;    // the file, or why none loads
  std::string Driver;     // GetDriverInfo's text; empty when none loads
  std::string Interface;  // Version's number in hexadecimal
  std::string StateFolder;
};

Environment LoadedEnvironment(const Options &opt) {
  Environment e;
  std::string error;
  if (const std::unique_ptr<DriverLibrary> lib = DriverLibrary::Load(opt.DriverPath, error)) {
    e.Library = lib->LoadedFile();
    e.Driver = lib->DriverInfo();
    char version[16];
    std::snprintf(version, sizeof version, "0x%X", lib->Api().Version());
    e.Interface = version;
  } else {
    e.Library = "none loads: " + OneLine(error);
  }
  e.StateFolder = MapDrivePath("C:\\");
  return e;
}

}  // namespace

int RunInfo(const Options &opt, const ParamFile &file, const Style &out) {
  const GlobalSettings &g = file.Global();
  const Environment env = LoadedEnvironment(opt);
  if (opt.Json) {
    Json stations = Json::array();
    for (int n = 1; n <= file.StationCount(); ++n) stations.push_back(StationJson(*file.At(n), n));
    const Json global = {{"prefix", Hex(g.Prefix.view())},
                         {"suffix", Hex(g.Suffix.view())},
                         {"presuffix", Hex(g.PreSuffix.view())},
                         {"address", g.Address},
                         {"answerTime", JsonNumber(FromReal6(g.AnswerTime))},
                         {"silenceWait", g.SilenceWait},
                         {"sleepTime", JsonNumber(FromReal6(g.SleepTime))},
                         {"sleepCount", g.SleepCount},
                         {"numTolvinError", g.NumTolvinError},
                         {"stayInQueueOnTimeout", g.StayInQueueOnTimeout},
                         {"idleTime", g.IdleTime},
                         {"cucPath", Utf8FromCp1250(g.CucPath.view())}};
    const Json driver = {{"library", env.Library},
                         {"driverInfo", env.Driver},
                         {"interface", env.Interface},
                         {"stateFolder", env.StateFolder}};
    PrintJson({{"file", file.Path()},
               {"driver", driver},
               {"global", global},
               {"stations", std::move(stations)}});
    return kExitOk;
  }
  PrintLine(out.Bold("driver library ") + env.Library +
            (env.Driver.empty() ? "" : " (" + env.Driver + ", interface " + env.Interface + ")"));
  PrintLine("state folder (debug log, sample files; ZLNETDRV_DRIVE_C moves it) " + env.StateFolder);
  PrintLine(out.Bold("parameter file " + file.Path()) + ": " + std::to_string(file.StationCount()) +
            " station(s)");
  PrintLine("line: PREFIX " + Hex(g.Prefix.view()) + ", SUFFIX " + Hex(g.Suffix.view()) +
            ", PRESUFFIX " + Hex(g.PreSuffix.view()) + ", driver address " +
            std::to_string(g.Address) + ", ANSWER_TIME " + Number(FromReal6(g.AnswerTime)) +
            " s, SILENCE_WAIT " + std::to_string(g.SilenceWait) + " ms");
  PrintLine("      SLEEP_TIME " + Number(FromReal6(g.SleepTime)) + " s after SLEEP_COUNT " +
            std::to_string(g.SleepCount) + " time-outs, NUM_TOLVIN_ERROR " +
            std::to_string(g.NumTolvinError) +
            (g.StayInQueueOnTimeout ? " (STAY_IN_QUEUE_ON_TIMEOUT)" : "") + ", IDLE_TIME " +
            std::to_string(g.IdleTime) + " ms, CUC_PATH " + Utf8FromCp1250(g.CucPath.view()));
  PrintLine("");
  for (int n = 1; n <= file.StationCount(); ++n) PrintStation(*file.At(n), n, out);
  return kExitOk;
}

}  // namespace zl::poll
