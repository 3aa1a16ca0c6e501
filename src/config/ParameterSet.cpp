// The load sequence: [GLOBAL], then every [STATION].
#include "config/ParameterSet.h"

#include <cstring>
#include <string>

#include "config/Keywords.h"
#include "config/ParameterReader.h"
#include "port/DrivePath.h"
#include "port/File.h"
#include "util/Texts.h"

namespace zl {
namespace {

// A parameter file is a few kilobytes; anything beyond this is not one.
constexpr std::size_t kMaxFileSize = std::size_t{256} << 20;

constexpr int kRequiredGlobal[] = {kGPrefix,  kGSuffix,     kGPreSuffix,
                                   kGAddress, kGAnswerTime, kGDefAnalogInAddr};
constexpr int kRequiredStation[] = {
    kSAddress,      kSRetranslation, kSName,         kSNumBinarIn, kSNumBinarOut, kSNumAnalogIn,
    kSNumCounterIn, kSNumMemoryIn,   kSNumMemoryOut, kSBinarInXor, kSBinarOutXor, kSDefAnalogInAddr,
    kSDefMemoryIn,  kSDefMemoryOut,  kSDefCounterIn, kSIp,         kSPort};

// Before a section is read: every keyword not required counts as defined.
template <std::size_t N>
void MarkOptionalDefined(ParameterReader &r, int lastKeyword, const int (&required)[N]) {
  for (int k = 1; k <= lastKeyword; ++k) r.Defined[k] = true;
  for (int k : required) r.Defined[k] = false;
}

// The first keyword 1..last not defined, 0 when all are.
int FirstUndefined(const ParameterReader &r, int last) {
  for (int k = 1; k <= last; ++k)
    if (!r.Defined[k]) return k;
  return 0;
}

std::string BadVariableText(const KeywordTable &table, int keyword) {
  return Say(TextId::BadVariable) + std::string(table.Name(keyword)) + " / " +
         std::string(table.Header());
}

// Delivers items up to the table's END; every keyword found goes to
// onKeyword (END too), anything else is skipped one item at a time. False
// when the file ends first.
template <class OnKeyword>
bool ReadSection(ParameterReader &r, const KeywordTable &table, OnKeyword onKeyword) {
  while (r.Next()) {
    int keyword = table.Find(r.Item());
    if (keyword == 0) continue;
    onKeyword(keyword);
    if (keyword == table.Count) return true;
  }
  return false;
}

bool LoadGlobal(ParameterReader &r) {
  const KeywordTable &table = GlobalKeywords();
  if (!r.SetGroupPos(table.Header())) return false;
  MarkOptionalDefined(r, kGEnd - 1, kRequiredGlobal);
  bool ended = ReadSection(r, table, [&](int keyword) {
    r.Debug("found", std::to_string(keyword));
    if (keyword == kGEnd) return;
    r.Next();
    ApplyGlobalKeyword(r, keyword);
  });
  if (!ended) {
    r.SetError(Say(TextId::MissingEnd) + std::string(table.Header()));
    return false;
  }
  if (int missing = FirstUndefined(r, kGEnd - 1)) {
    r.SetError(BadVariableText(table, missing));
    return false;
  }
  return true;
}

// One [STATION] section into slot number; false (with the error set) when it
// is rejected.
bool LoadStation(ParameterReader &r, StationConfig &st, int number) {
  const KeywordTable &table = StationKeywords();
  MarkOptionalDefined(r, kSEnd - 1, kRequiredStation);
  st.Phone.clear();
  st.DialFlag = false;
  bool ended = ReadSection(r, table, [&](int keyword) {
    r.Debug("index found", table.Name(keyword));
    if (keyword == kSEnd) return;
    if (keyword != kSOriginalChannels) r.Next();
    ApplyStationKeyword(r, st, number, keyword);
  });
  if (!ended) {
    r.SetError(Say(TextId::MissingEnd) + std::string(table.Header()));
    r.Debug("loadst", "err-eof and not groupEnd");
    return false;
  }
  // Replaces whatever narrower text a list loader left.
  if (int missing = FirstUndefined(r, kSEnd - 1)) {
    r.SetError(BadVariableText(table, missing));
    r.Debug("loadst", std::to_string(missing) + ". item not loaded");
    return false;
  }
  std::string line = "STANICE ";
  line.append(st.Name.view()).append(" ").append(st.Phone.view());
  r.Event(line);
  if (!st.QqVariables.empty()) r.Event("  -> QQ/blok -> Zavro-Line2");
  r.Debug("loadst", "station OK");
  return true;
}

// Every [STATION] up to the end of the file. An error ends the reading; the
// stations read by then stand if at least one of them was accepted.
void LoadStations(ParameterReader &r) {
  std::vector<StationConfig> &stations = r.Set.Stations;
  r.Debug("LoadStations", "");
  int number = 0;
  bool anyAccepted = false;
  while (!r.LoadError) {
    if (!r.SetGroupPos(StationKeywords().Header())) break;
    if (number == kMaxStations) {
      r.LoadError = true;
      r.SetError(Say(TextId::TooManyStations));
      break;
    }
    ++number;
    InitStationConfig(stations.emplace_back(), number);
    if (LoadStation(r, stations.back(), number)) {
      anyAccepted = true;
    } else {
      r.LoadError = true;
    }
  }
  if (anyAccepted) r.LoadError = false;
}

}  // namespace

const StationConfig *ParameterSet::At(int n) const {
  return n >= 1 && n <= StationCount() ? &Stations[static_cast<std::size_t>(n - 1)] : nullptr;
}

void SetDefaults(ParameterSet &set) {
  set.Global = GlobalSettings();
  set.Global.CucPath = "C:\\";
  set.Global.SleepTime = ToReal6(0.0);
  set.Stations.clear();
}

// A line feed without a carriage return before it.
static bool HasBareLineFeed(std::string_view text) {
  for (std::size_t at = text.find('\n'); at != std::string_view::npos;
       at = text.find('\n', at + 1)) {
    if (at == 0 || text[at - 1] != '\r') return true;
  }
  return false;
}

bool ReadParameterText(LoadContext &ctx, std::string_view text, ParameterSet &set) {
  ParameterReader r(ctx, set, text);
  // A text value runs to the end of its line, and with a bare LF the line
  // after it goes with it: whatever stood there is lost without a word.
  if (HasBareLineFeed(text)) r.Event(Say(TextId::BareLineFeeds));
  r.Debug("Load", "GLOBAL");
  if (!LoadGlobal(r)) return false;
  r.Event("GLOBAL info OK.");
  LoadStations(r);
  r.Debug("LoadParameterFile", "LoadStations END");
  if (r.LoadError) return false;
  r.Debug("LoadParameterFile", "TRUE");
  return true;
}

bool ReadParameterPath(LoadContext &ctx, std::string_view fileName, ParameterSet &set) {
  ctx.Debug("LoadParameterFile", fileName);
  try {
    std::string text;
    if (ReadRegularFile(MapDrivePath(fileName), text, kMaxFileSize))
      return ReadParameterText(ctx, text, set);
  } catch (...) {  // no memory for the file: reported like an unreadable one
  }
  ctx.SetError(Say(TextId::UnreadableFile) + std::string(fileName));
  return false;
}

bool ReadParameterFile(const std::string &path, ParameterSet &out, std::string &error) {
  // Outside a running driver there is no status window for the event lines and
  // no debug log: both go nowhere.
  LoadContext ctx;
  SetDefaults(out);
  if (ReadParameterPath(ctx, path, out)) return true;
  error = Utf8FromCp1250(std::string_view(ctx.ErrorText, ::strnlen(ctx.ErrorText, 80)));
  if (error.empty()) error = "the parameter file could not be loaded";
  return false;
}

}  // namespace zl
