// The [GLOBAL] keywords: what each value does to GlobalSettings.
#include "config/ParameterReader.h"
#include "config/ValueForms.h"
#include "port/DrivePath.h"
#include "util/Texts.h"

namespace zl {
namespace {

// CUC_PATH: the folder for sample files, kept in Windows form with exactly one
// trailing backslash; a folder that does not exist gives "C:\". A native path
// ("/...") is accepted too: whoever writes there maps it with MapDrivePath.
bool LoadCucPath(ParameterReader &r, Str255 &field) {
  std::optional<std::string> text = r.LoadString();
  if (!text) return false;
  std::string path = *text;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  // A folder whose name leaves no room for the backslash could not be written
  // to as named: treat it like a missing one.
  if (path.empty() || path.size() >= Str255::Capacity || !DirectoryExists(path)) {
    r.Note(TextId::FindCucPathMissing, {*text});
    field = "C:\\";
  } else {
    field = path + "\\";
  }
  return true;
}

}  // namespace

void ApplyGlobalKeyword(ParameterReader &r, int keyword) {
  GlobalSettings &g = r.Set.Global;
  bool accepted = false;
  switch (keyword) {
    case kGPrefix:
      accepted = r.Text(g.Prefix);
      break;
    case kGSuffix:
      accepted = r.Text(g.Suffix);
      break;
    case kGPreSuffix:
      accepted = r.Text(g.PreSuffix);
      break;
    case kGAddress:
      accepted = r.Whole8(g.Address);
      break;
    case kGAnswerTime:
      accepted = r.Real(g.AnswerTime);
      break;
    case kGSilenceWait:
      accepted = r.Whole16(g.SilenceWait);
      break;
    case kGRtsTimeOn:
      accepted = r.Whole16(g.RtsTimeOn);
      break;
    case kGRtsTimeOff:
      accepted = r.Whole16(g.RtsTimeOff);
      break;
    case kGDefAnalogInAddr:
      accepted = r.Whole16(g.DefAnalogInAddr);
      break;
    case kGNumTolvinError:
      accepted = r.Whole8(g.NumTolvinError);
      break;
    case kGSleepTime:
      accepted = r.Real(g.SleepTime);
      break;
    case kGSleepCount:
      accepted = r.Whole16(g.SleepCount);
      break;
    case kGIdleTime: {
      const std::optional<int32_t> v = ParseWhole(r.Item());
      if (v) g.IdleTime = static_cast<uint16_t>(*v);
      accepted = v.has_value();
      r.NoteNumber(v, 0, 65535, std::to_string(g.IdleTime));
      break;
    }
    case kGStopSelfReading:  // the value item is read and ignored
      accepted = true;
      break;
    case kGCucPath:
      accepted = LoadCucPath(r, g.CucPath);
      break;
    case kGStayInQueueOnTimeout:  // the keyword itself switches it on
      g.StayInQueueOnTimeout = true;
      accepted = true;
      break;
    default:
      break;
  }
  if (accepted) r.Defined[keyword] = true;
}

}  // namespace zl
