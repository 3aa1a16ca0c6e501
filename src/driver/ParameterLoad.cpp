#include "driver/ParameterLoad.h"

#include <cstdio>
#include <cstring>

#include "config/ParameterSet.h"

namespace zl {
namespace {

// A read of the file that reports to this driver: its debug log, its status
// window, and the error text Init shows.
LoadContext ContextOf(DriverInstance &di) {
  LoadContext ctx;
  std::memcpy(ctx.ErrorText, di.ErrorText, sizeof ctx.ErrorText);
  ctx.DebugSink = [&di](std::string_view label, std::string_view text) { di.Debug(label, text); };
  ctx.EventSink = [&di](std::string_view line) {
    if (di.Services) di.Services->AddEvent(line);
  };
  ctx.DebugRequested = [&di] { di.Log.Enable(); };
  return ctx;
}

// The run-time stations take the configuration read, accepted or not (a
// rejected load leaves what was read by then, as the failed Init shows it);
// the slots no section filled keep their empty records.
bool Apply(DriverInstance &di, const LoadContext &ctx, const ParameterSet &set, bool ok) {
  std::memcpy(di.ErrorText, ctx.ErrorText, sizeof di.ErrorText);
  di.Global = set.Global;
  MutexLock lock(di.DataLock);
  for (int n = 1; n <= set.StationCount() && n <= kMaxStations; ++n) {
    Station &st = di.MakeStation(n);
    static_cast<StationConfig &>(st) = *set.At(n);
    st.StartElementValues();
  }
  if (ok) di.StationCount = static_cast<uint8_t>(set.StationCount());
  return ok;
}

}  // namespace

void InitZavro(DriverInstance &di) {
  di.Debug("InitZavro", "");
  {
    MutexLock lock(di.DataLock);
    di.DropStations();
    for (int n = 1; n <= kMaxStations; ++n) {
      Station &st = di.MakeStation(n);
      InitStationConfig(st, n);
      st.StartElementValues();
    }
  }
  di.StationCount = 0;
  ParameterSet defaults;
  SetDefaults(defaults);
  di.Global = defaults.Global;
  di.Sample.Reset();
}

bool LoadParameterText(DriverInstance &di, std::string_view text) {
  LoadContext ctx = ContextOf(di);
  ParameterSet set;
  set.Global = di.Global;
  const bool ok = ReadParameterText(ctx, text, set);
  return Apply(di, ctx, set, ok);
}

bool LoadParameterFile(DriverInstance &di) {
  LoadContext ctx = ContextOf(di);
  ParameterSet set;
  set.Global = di.Global;
  const bool ok = ReadParameterPath(ctx, di.ParameterFileName.view(), set);
  return Apply(di, ctx, set, ok);
}

void ResetStations(DriverInstance &di) {
  MutexLock lock(di.DataLock);
  for (int n = 1; n <= kMaxStations; ++n) {
    Station *st = di.StationAt(n);
    if (!st) continue;
    std::memset(st->BinaryIn, 0, sizeof st->BinaryIn);
    std::memset(st->BinaryOut, 0, sizeof st->BinaryOut);
    for (Real6 &v : st->AnalogIn) v = Real6();
    for (int i = 1; i <= kMaxMemoryIn; ++i) st->MemoryInValues[i] = Real6();
    for (int i = 1; i <= kMaxMemoryOut; ++i) st->MemoryOutValues[i] = Real6();
    for (int i = 1; i <= kMaxCounters; ++i) {
      st->CounterValues[i] = st->Counters[i].StartValue;
      st->CounterRaw[i] = 0;
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
