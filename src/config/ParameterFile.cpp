// The load sequence: [GLOBAL], then every [STATION], and the steps of Init
// around it (defaults before, the station reset after).
#include "config/ParameterFile.h"

#include <cstdio>
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
bool LoadStation(ParameterReader &r, Station &st, int number) {
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
  DriverInstance &di = r.di;
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
    if (!di.Stations[number]) {
      di.Stations[number] = std::make_unique<Station>();
      InitStation(*di.Stations[number], number);
    }
    if (LoadStation(r, *di.Stations[number], number)) {
      anyAccepted = true;
    } else {
      r.LoadError = true;
    }
  }
  if (anyAccepted) {
    di.StationCount = static_cast<uint8_t>(number);
    r.LoadError = false;
  }
}

}  // namespace

void ClearSampleRows(SampleRow *rows) {
  for (int r = 0; r < kSampleRows; ++r) {
    uint8_t *b = rows[r].Bytes;
    std::memset(b, 0, kSampleRowSize);
    for (int v = 1; v <= 8; ++v) b[4 * v + 3] = 3;  // length 3, value 00 00 00 (0.0)
  }
}

void InitZavro(DriverInstance &di) {
  di.Debug("InitZavro", "");
  for (int n = 1; n <= kMaxStations; ++n) {
    di.Stations[n] = std::make_unique<Station>();
    InitStation(*di.Stations[n], n);
  }
  di.StationCount = 0;
  di.Global = GlobalSettings();
  di.Global.CucPath = "C:\\";
  di.Global.SleepTime = ToReal6(0.0);
  di.SampleTable = std::make_unique<SampleRow[]>(kSampleRows);
  ClearSampleRows(di.SampleTable.get());
  di.SampleStation = 1;
  di.SampleTransferStation = 1;
  di.SampleBlock = 1;
  di.SampleRowIndex = 1;
  di.SampleBusy = 0;
}

// A line feed without a carriage return before it.
static bool HasBareLineFeed(std::string_view text) {
  for (std::size_t at = text.find('\n'); at != std::string_view::npos;
       at = text.find('\n', at + 1)) {
    if (at == 0 || text[at - 1] != '\r') return true;
  }
  return false;
}

bool LoadParameterText(DriverInstance &di, std::string_view text) {
  ParameterReader r(di, text);
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

bool LoadParameterFile(DriverInstance &di) {
  di.Debug("LoadParameterFile", di.ParameterFileName.view());
  try {
    std::string text;
    if (ReadRegularFile(MapDrivePath(di.ParameterFileName.view()), text, kMaxFileSize))
      return LoadParameterText(di, text);
  } catch (...) {  // no memory for the file: reported like an unreadable one
  }
  SetErrorText(di, Say(TextId::UnreadableFile) + di.ParameterFileName.str());
  return false;
}

void ResetStations(DriverInstance &di) {
  std::lock_guard<std::mutex> lock(di.DataLock);
  for (int n = 1; n <= kMaxStations; ++n) {
    Station *st = di.StationAt(n);
    if (!st) continue;
    std::memset(st->BinaryIn, 0, sizeof st->BinaryIn);
    std::memset(st->BinaryOut, 0, sizeof st->BinaryOut);
    for (Real6 &v : st->AnalogIn) v = Real6();
    for (int i = 1; i <= kMaxMemoryIn; ++i) st->MemoryIn[i].Value = Real6();
    for (int i = 1; i <= kMaxMemoryOut; ++i) st->MemoryOut[i].Value = Real6();
    for (int i = 1; i <= kMaxCounters; ++i) {
      st->Counters[i].Value = st->Counters[i].StartValue;
      st->Counters[i].RawCount = 0;
    }
    // The run-time state, all but FailCount (which only the load starts at 0).
    st->RequestCount = 0;
    st->TimeoutTotal = 0;
    st->ErrorItemCount = 0;
    st->SecondsSinceAnswer = Real6();
    st->SleepRemaining = Real6();
    st->TimeoutRun = 0;
    st->Busy = st->Fault = st->ConnectRequested = st->Online = 0;
    st->NewBinaryInputs = st->NewAnalogInputs = st->NewCounters = st->NewMemory = 0;
    st->ControlError = st->ActiveMessage = 0;
    st->RuntimeValue = 0;
    for (int line = 0; line < 4; ++line) {
      std::memset(st->TextLines[line], 0, sizeof st->TextLines[line]);
      std::snprintf(st->TextLines[line], sizeof st->TextLines[line], "<line %d>", line + 1);
    }
  }
}

}  // namespace zl
