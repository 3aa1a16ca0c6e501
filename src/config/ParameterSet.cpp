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
    if (keyword == 0) {
      r.Note(TextId::FindUnknownWord, {r.Raw(), table.Header()});
      continue;
    }
    r.Keyword = table.Name(keyword);
    r.KeywordPlace = r.Here();
    onKeyword(keyword);
    if (keyword == table.Count) return true;
  }
  return false;
}

// A finding that makes Init fail, at place.
void Refuse(ParameterReader &r, FilePlace place, const std::string &text) {
  if (r.WantsFindings()) r.Ctx.Find(place, true, text);
}

// The refusal of the keywords a section leaves undefined, each where its
// value was refused (or at the section's END when it is missing), with the
// loader's own message; only the first is Init's message, the others come
// up once it is mended. A station after an accepted one does not fail the
// load: the driver keeps it as read and stops reading there.
void RefuseUndefined(ParameterReader &r, const KeywordTable &table, int last, FilePlace end,
                     bool failsLoad) {
  if (!r.WantsFindings()) return;
  bool first = true;
  for (int k = 1; k <= last; ++k) {
    if (r.Defined[k]) continue;
    const bool refused = r.RefusedAt[k].Line != 0;
    std::string text = BadVariableText(table, k);
    if (refused && !r.RefusedWhy[k].empty()) text += ": " + r.RefusedWhy[k];
    const FilePlace at = refused ? r.RefusedAt[k] : end;
    if (failsLoad) {
      Refuse(r, at, text);
    } else {
      r.Ctx.Find(at, false, first ? Say(TextId::FindStationDropped, {text}) : text);
    }
    first = false;
  }
}

// Before a section's keywords are read: no value refused yet.
void ClearRefusals(ParameterReader &r) {
  std::fill(std::begin(r.RefusedAt), std::end(r.RefusedAt), FilePlace{});
  for (std::string &why : r.RefusedWhy) why.clear();
}

// After a keyword's loader: a value it did not take is noted with its place.
void NoteRefusal(ParameterReader &r, int keyword) {
  if (r.Defined[keyword]) {
    r.RefusedAt[keyword] = FilePlace{};
    return;
  }
  r.RefusedAt[keyword] = r.KeywordPlace;
  r.RefusedWhy[keyword] = r.LoaderMessage;
}

bool LoadGlobal(ParameterReader &r) {
  const KeywordTable &table = GlobalKeywords();
  if (!r.SetGroupPos(table.Header())) {
    Refuse(r, r.Here(), Say(TextId::MissingGroup) + std::string(table.Header()));
    return false;
  }
  ClearRefusals(r);
  MarkOptionalDefined(r, kGEnd - 1, kRequiredGlobal);
  bool ended = ReadSection(r, table, [&](int keyword) {
    r.Debug("found", std::to_string(keyword));
    if (keyword == kGEnd) return;
    r.Next();
    r.LoaderMessage.clear();
    ApplyGlobalKeyword(r, keyword);
    NoteRefusal(r, keyword);
  });
  if (!ended) {
    r.SetError(Say(TextId::MissingEnd) + std::string(table.Header()));
    Refuse(r, r.Here(), r.Ctx.ErrorText);
    return false;
  }
  if (int missing = FirstUndefined(r, kGEnd - 1)) {
    RefuseUndefined(r, table, kGEnd - 1, r.Here(), true);
    r.SetError(BadVariableText(table, missing));
    return false;
  }
  return true;
}

// One [STATION] section into slot number; false (with the error set) when it
// is rejected.
// failsLoad: no station was accepted before this one, so its rejection fails
// the load (for the findings of a check).
bool LoadStation(ParameterReader &r, StationConfig &st, int number, bool failsLoad) {
  const KeywordTable &table = StationKeywords();
  MarkOptionalDefined(r, kSEnd - 1, kRequiredStation);
  ClearRefusals(r);
  StationPlaces &places = r.Places.emplace_back();
  places.Header = r.Here();
  st.Phone.clear();
  st.DialFlag = false;
  bool ended = ReadSection(r, table, [&](int keyword) {
    r.Debug("index found", table.Name(keyword));
    places.Keyword[keyword] = r.KeywordPlace;
    if (keyword == kSEnd) return;
    if (keyword != kSOriginalChannels) r.Next();
    r.LoaderMessage.clear();
    const std::size_t qq = st.QqVariables.size(), blocks = st.MemoryBlocks.size();
    ApplyStationKeyword(r, st, number, keyword);
    NoteRefusal(r, keyword);
    if (st.QqVariables.size() > qq) places.Qq.push_back(r.KeywordPlace);
    if (st.MemoryBlocks.size() > blocks) places.Blocks.push_back(r.KeywordPlace);
  });
  if (!ended) {
    r.SetError(Say(TextId::MissingEnd) + std::string(table.Header()));
    r.Debug("loadst", "err-eof and not groupEnd");
    if (failsLoad) {
      Refuse(r, r.Here(), r.Ctx.ErrorText);
    } else if (r.WantsFindings()) {
      r.Ctx.Find(r.Here(), false, Say(TextId::FindStationDropped, {r.Ctx.ErrorText}));
    }
    return false;
  }
  // Replaces whatever narrower text a list loader left.
  if (int missing = FirstUndefined(r, kSEnd - 1)) {
    RefuseUndefined(r, table, kSEnd - 1, places.Keyword[kSEnd], failsLoad);
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
    if (!r.SetGroupPos(StationKeywords().Header())) {
      if (number == 0) Refuse(r, r.Here(), r.Ctx.ErrorText);
      break;
    }
    if (number == kMaxStations) {
      r.LoadError = true;
      r.SetError(Say(TextId::TooManyStations));
      // Every station before was accepted (a rejected one ends the loop).
      r.Note(TextId::FindStationsIgnored, {Say(TextId::TooManyStations)});
      break;
    }
    ++number;
    InitStationConfig(stations.emplace_back(), number);
    if (LoadStation(r, stations.back(), number, !anyAccepted)) {
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
  if (HasBareLineFeed(text)) {
    r.Event(Say(TextId::BareLineFeeds));
    if (r.WantsFindings()) ctx.Find(r.PlaceOf(text.find('\n')), false, Say(TextId::BareLineFeeds));
  }
  r.Debug("Load", "GLOBAL");
  if (!LoadGlobal(r)) return false;
  r.Event("GLOBAL info OK.");
  LoadStations(r);
  r.Debug("LoadParameterFile", "LoadStations END");
  if (r.LoadError) return false;
  if (r.WantsFindings()) CheckChannels(r);
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
