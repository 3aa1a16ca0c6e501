#include "exchange/ChannelMapJson.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

#include "exchange/ChannelMap.h"
#include "exchange/HostValueIo.h"
#include "exchange/InputPath.h"
#include "exchange/OutputPath.h"
#include "util/JsonText.h"

namespace zl {
namespace {

// A set of value types, one bit per type code.
using TypeSet = uint16_t;
constexpr TypeSet T(uint32_t type) {
  return static_cast<TypeSet>(1u << type);
}
constexpr TypeSet kBool = T(kTypeBool), kDouble = T(kTypeDouble), kText = T(kTypeText);
constexpr TypeSet kNumbers = T(kTypeBool) | T(kTypeU8) | T(kTypeU16) | T(kTypeU32) | T(kTypeI8) |
                             T(kTypeI16) | T(kTypeI32) | T(kTypeSingle) | T(kTypeDouble);

const char *TypeName(uint32_t type) {
  static const char *const names[] = {"",    "",    "bool",   "u8",     "u16",  "u32",   "i8",
                                      "i16", "i32", "single", "double", "text", "buffer"};
  return type < std::size(names) ? names[type] : "";
}

// What one kind of station channel is: its keyword, the types GetInput and
// OutputRequest serve it in, and whether a write is a command (it makes the
// driver act rather than hold a value).
struct KindInfo {
  const char *Name;
  TypeSet Read;
  TypeSet Write;
  bool Command;
};

KindInfo InfoOf(ChannelKind kind) {
  using K = ChannelKind;
  switch (kind) {
    case K::BinaryInput:
      return {"bi", kBool, 0, false};
    case K::BinaryOutput:
      return {"bo", kBool, kBool, false};
    case K::AnalogInput:
      return {"ai", kDouble, 0, false};
    case K::Counter:
      return {"ct", kDouble, kDouble, false};
    case K::MemoryOutput:
      return {"mo", kDouble, kDouble, false};
    case K::MemoryInput:
      return {"mi", kDouble, 0, false};
    case K::ErrorCounter:
      return {"ErrorNoAnswer", kDouble, kDouble, false};
    case K::MessageCounter:
      return {"MsgCounter", kDouble, kDouble, false};
    case K::ErrorInMessage:
      return {"ErrorInMess", kDouble, 0, false};
    case K::SilenceTime:
      return {"SilenceTime", kDouble, 0, false};
    case K::SleepTime:
      return {"SleepTime", kDouble, 0, false};
    case K::ErrCount:
      return {"ErrCount", kDouble, 0, false};
    case K::VideoText:
      return {"Video", kText, 0, false};
    case K::ReadAnalogKelmar:
      return {"out_read_AItolvin", 0, kBool, true};
    case K::ReadCounters:
      return {"out_read_CT", 0, kBool, true};
    case K::WriteBinaryOutputs:
      return {"out_write_BO", 0, kBool, true};
    case K::WriteMemoryOutput:
      return {"out_write_MO", 0, 0, false};
    case K::FlagBusy:
      return {"in_now_comm", kBool, 0, false};
    case K::FlagFault:
      return {"in_last_com_err", kBool, 0, false};
    case K::FlagNewBinaryInputs:
      return {"bi_new_BI", kBool, kBool, false};
    case K::FlagNewAnalogInputs:
      return {"bi_new_AI", kBool, kBool, false};
    case K::FlagNewCounters:
      return {"bi_new_CT", kBool, kBool, false};
    case K::FlagNewMemory:
      return {"bi_new_MI", kBool, kBool, false};
    case K::FlagControlError:
      return {"bi_new_err_control", kBool, kBool, false};
    case K::WriteRestart:
      return {"out_write_restart", 0, 0, false};
    case K::ReadBinaryInputs:
      return {"out_read_BI", 0, kBool, true};
    case K::ReadMemoryInputs:
      return {"out_read_KI", 0, kBool, true};
    case K::WriteMemoryOutputs:
      return {"out_write_KO", 0, kBool, true};
    case K::ReadAnalogZavro:
      return {"out_read_AI", 0, kBool, true};
    case K::ConnectModem:
      return {"out_connect_modem", 0, kBool, true};
    case K::FlagConnecting:
      return {"in_connecting_modem", kBool, 0, false};
    case K::FlagConnected:
      return {"in_connected_modem", kBool, 0, false};
    case K::FlagActiveMessage:
      return {"in_active_message", kBool, kBool, false};
    case K::WriteAllOutputs:
      return {"out_write_all_BO_MO", 0, kBool, true};
    case K::StationName:
      return {"name_channel", kText, 0, false};
    case K::CallCode:
      return {"CallCode", T(kTypeU32), T(kTypeU32), false};
    case K::MemoryBlockRead:
      return {"CHANNEL_READ", 0, kBool, true};
    case K::MemoryBlockItem:
    case K::None:
      break;
  }
  return {"", 0, 0, false};
}

// The fixed driver channels. A call that one of them serves ends there (with
// any type), except the two marked GoesOn, after which the station channels
// still follow.
struct DriverChannel {
  uint16_t First, Last;
  const char *What;
  TypeSet Read, Write;
  bool Command;
  bool GoesOn;
};
constexpr DriverChannel kDriverChannels[] = {
    {kChReadSuspended, kChReadSuspended, "QQ variable reads suspended", 0, kBool, false, true},
    {kChSampleStation, kChSampleStation, "station of the sample transfer", 0, T(kTypeU8), false,
     false},
    {kChSampleBlock, kChSampleBlock, "sample block 1..3", 0, T(kTypeU8), false, false},
    {kChSampleRowIndex, kChSampleRowIndex, "selected sample row 1..528", 0, T(kTypeU16), false,
     false},
    {kChStartSampleTransfer, kChStartSampleTransfer, "start a sample transfer", 0, kBool, true,
     false},
    {kChSampleRowByte, kChSampleRowByte + 5, "bytes 0..5 of the selected sample row", T(kTypeU8), 0,
     false, false},
    {kChSampleRowValue, kChSampleRowValue + 7, "values 1..8 of the selected sample row", kDouble, 0,
     false, false},
    {kChSampleBusy, kChSampleBusy, "sample transfer running", kBool, 0, false, false},
    {kChWriteSampleFile, kChWriteSampleFile, "write the sample file", 0, kBool, true, false},
    {kChSampleFileWritten, kChSampleFileWritten, "sample file written", kBool, kBool, false, false},
    {kChSampleRowBit, kChSampleRowBit + 191, "bits of the selected sample row's values", kBool, 0,
     false, false},
    {kChSampleAltKinds, kChSampleAltKinds, "alternative sample kinds", 0, kBool, false, false},
    {kChResetQueues, kChResetQueues, "empty the request queues and reset reception", 0, kBool, true,
     false},
    {kChSampleBuffer, kChSampleBuffer, "sample buffer descriptor", T(kTypeBuffer), 0, false, true},
    {kChForceValue, kChForceValue, "forced value", kDouble, kDouble, false, false},
    {kChForceChannel, kChForceChannel, "forced channel", kDouble, kDouble, false, false},
    {kChForceEnable, kChForceEnable, "forcing on (forces when set)", kBool, kBool, true, false},
};

struct Diagnostic {
  uint16_t Channel;
  const char *What;
  TypeSet Read;
};
constexpr Diagnostic kDiagnostics[] = {
    {488, "1 while the gateway connection is up", kDouble},
    {489, "seconds since an answer was received", kDouble},
    {490, "requests waiting in both queues", kDouble},
    {491, "request kind in flight", kDouble},
    {492, "always 0", kDouble},
    {493, "frame prefixes found", kDouble},
    {494, "station of the request in flight", kDouble},
    {495, "polling cycle state (0 idle)", kDouble},
    {kChHeapBytes, "heap bytes in use", T(kTypeI32)},
    {497, "requests waiting in the write queue", kDouble},
    {498, "messages received and stored", kDouble},
    {499, "seconds since the last frame was sent", kDouble},
};

const DriverChannel *DriverChannelAt(uint16_t channel) {
  for (const DriverChannel &d : kDriverChannels)
    if (channel >= d.First && channel <= d.Last) return &d;
  return nullptr;
}

// The types a station channel is really served in: a driver channel that
// serves the same call takes it first.
void KeepServedTypes(uint16_t channel, TypeSet &read, TypeSet &write) {
  if (const DriverChannel *d = DriverChannelAt(channel); d && !d->GoesOn) {
    if (d->Read) read = 0;
    if (d->Write) write = 0;
  }
}

void AppendTypes(std::string &out, const char *key, TypeSet types) {
  AppendJsonKey(out, key);
  out += '[';
  bool first = true;
  for (uint32_t t = 0; t < 16; ++t) {
    if (!(types & T(t))) continue;
    if (!first) out += ',';
    first = false;
    AppendJsonString(out, TypeName(t));
  }
  out += ']';
}

void AppendNumber(std::string &out, const char *key, long long n) {
  AppendJsonKey(out, key);
  out += std::to_string(n);
}

void AppendText(std::string &out, const char *key, std::string_view cp1250) {
  AppendJsonKey(out, key);
  AppendJsonString(out, cp1250);
}

// "channel":c,"read":[..],"write":[..],"command":b
void AppendAccess(std::string &out, uint16_t channel, TypeSet read, TypeSet write, bool command) {
  KeepServedTypes(channel, read, write);
  AppendNumber(out, "channel", channel);
  out += ',';
  AppendTypes(out, "read", read);
  out += ',';
  AppendTypes(out, "write", write);
  out += ",\"command\":";
  out += command && write ? "true" : "false";
}

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

const char *QqTypeName(uint8_t type) {
  static const char *const names[] = {"",         "BYTE",    "WORD", "INTEGER",
                                      "CARDINAL", "LONGINT", "REAL", "STRING"};
  return type < std::size(names) ? names[type] : "";
}

const char *QqDirectionName(uint8_t direction) {
  return direction == kQqRead ? "READ" : direction == kQqWrite ? "WRITE" : "BIDIR";
}

const char *BlockTypeName(uint8_t type) {
  static const char *const names[] = {"", "BYTE", "WORD", "INTEGER", "CARDINAL", "LONGINT", "REAL"};
  return type < std::size(names) ? names[type] : "";
}

const char *BlockDirectionName(uint8_t direction) {
  return direction == kBlkInput ? "INPUT" : direction == kBlkOutput ? "OUTPUT" : "BIDIR";
}

// One channel the index gives a station.
struct Claim {
  uint16_t Channel;
  ChannelEntry Entry;
};

void AppendStation(std::string &out, const StationConfig &st, int number,
                   const std::vector<Claim> &claims) {
  out += '{';
  AppendNumber(out, "number", number);
  out += ',';
  AppendText(out, "name", st.Name.view());
  out += ',';
  AppendNumber(out, "address", st.Address);
  out += ',';
  AppendText(out, "gateway", std::string(st.Ip.view()) + ":" + std::to_string(st.Port));
  if (!st.Phone.empty()) {
    out += ',';
    AppendText(out, "phone", st.Phone.view());
  }

  // The object groups, each with its objects in item order.
  out += ",\"groups\":[";
  bool firstGroup = true;
  for (ChannelKind kind :
       {ChannelKind::BinaryInput, ChannelKind::BinaryOutput, ChannelKind::AnalogInput,
        ChannelKind::Counter, ChannelKind::MemoryOutput, ChannelKind::MemoryInput}) {
    std::vector<Claim> objects;
    for (const Claim &c : claims)
      if (c.Entry.Class == ChannelEntry::kStation && c.Entry.Kind == kind) objects.push_back(c);
    if (objects.empty()) continue;
    std::sort(objects.begin(), objects.end(),
              [](const Claim &a, const Claim &b) { return a.Entry.Item < b.Entry.Item; });
    const KindInfo info = InfoOf(kind);
    if (!firstGroup) out += ',';
    firstGroup = false;
    out += '{';
    AppendText(out, "group", info.Name);
    out += ",\"objects\":[";
    for (std::size_t i = 0; i < objects.size(); ++i) {
      if (i) out += ',';
      out += '{';
      AppendNumber(out, "object", objects[i].Entry.Item);
      out += ',';
      AppendAccess(out, objects[i].Channel, info.Read, info.Write, info.Command);
      out += '}';
    }
    out += "]}";
  }
  out += ']';

  // QQ variables in file order.
  out += ",\"variables\":[";
  bool first = true;
  for (std::size_t p = 0; p < st.QqVariables.size(); ++p) {
    for (const Claim &c : claims) {
      if (c.Entry.Class != ChannelEntry::kVariable || c.Entry.Position != p) continue;
      const QqVariable &v = st.QqVariables[p];
      if (!first) out += ',';
      first = false;
      out += '{';
      AppendText(out, "address",
                 Hex(v.Address[0], 2) + "." + Hex(v.Address[1], 2) + "." + Hex(v.Address[2], 2));
      out += ',';
      AppendText(out, "type", QqTypeName(v.Type));
      out += ',';
      AppendText(out, "direction", QqDirectionName(v.Direction));
      out += ',';
      // GetInput serves a variable in every number type and as text;
      // OutputRequest takes every number type.
      AppendNumber(out, "channel", c.Channel);
      out += ',';
      AppendTypes(out, "read", kNumbers | kText);
      out += ',';
      AppendTypes(out, "write", kNumbers);
      out += ",\"command\":false}";
    }
  }
  out += ']';

  // Memory blocks in file order: the read command, then the items.
  out += ",\"memoryBlocks\":[";
  for (std::size_t p = 0; p < st.MemoryBlocks.size(); ++p) {
    const MemoryBlock &b = st.MemoryBlocks[p];
    if (p) out += ',';
    out += '{';
    AppendNumber(out, "address", b.Address);
    out += ",\"read\":";
    bool hasRead = false;
    for (const Claim &c : claims) {
      if (c.Entry.Class == ChannelEntry::kStation && c.Entry.Kind == ChannelKind::MemoryBlockRead &&
          c.Entry.Position == p) {
        out += '{';
        AppendAccess(out, c.Channel, 0, kBool, true);
        out += '}';
        hasRead = true;
        break;
      }
    }
    if (!hasRead) out += "null";
    out += ",\"items\":[";
    bool firstItem = true;
    for (const Claim &c : claims) {
      if (c.Entry.Class != ChannelEntry::kStation || c.Entry.Kind != ChannelKind::MemoryBlockItem ||
          c.Entry.Position != p || c.Entry.Item < 1 || c.Entry.Item > b.ItemCount())
        continue;
      const std::size_t k = c.Entry.Item - 1u;
      const uint8_t type = b.ItemTypes[k];
      const uint8_t direction = b.ItemDirections[k];
      const TypeSet served = ValueTypeOfBlockItem(type) ? T(ValueTypeOfBlockItem(type)) : 0;
      if (!firstItem) out += ',';
      firstItem = false;
      out += '{';
      AppendNumber(out, "item", c.Entry.Item);
      out += ',';
      AppendText(out, "type", BlockTypeName(type));
      out += ',';
      AppendText(out, "direction", BlockDirectionName(direction));
      out += ',';
      const bool writable = direction == kBlkOutput || direction == kBlkBidir;
      AppendAccess(out, c.Channel, served, writable ? served : 0, false);
      out += '}';
    }
    out += "]}";
  }
  out += ']';

  // The station's single channels: status values, flags and commands.
  out += ",\"channels\":[";
  first = true;
  for (const Claim &c : claims) {
    if (c.Entry.Class != ChannelEntry::kStation || c.Entry.Kind < ChannelKind::ErrorCounter ||
        c.Entry.Kind > ChannelKind::CallCode)
      continue;
    const KindInfo info = InfoOf(c.Entry.Kind);
    if (!first) out += ',';
    first = false;
    out += '{';
    AppendText(out, "name", info.Name);
    if (c.Entry.Kind == ChannelKind::VideoText) {
      out += ',';
      AppendNumber(out, "item", c.Entry.Item);
    }
    out += ',';
    AppendAccess(out, c.Channel, info.Read, info.Write, info.Command);
    out += '}';
  }
  out += "]}";
}

}  // namespace

std::string ChannelMapJson(const DriverInstance &di) {
  const ChannelIndex *index = di.Channels.get();
  if (!index) return R"({"stations":[],"driverChannels":[],"diagnosticChannels":[]})";

  std::vector<std::vector<Claim>> claims(kMaxStations + 1);
  for (uint32_t ch = 0; ch < 65536; ++ch) {
    const ChannelEntry &e = index->Entries[ch];
    if (e.Class != ChannelEntry::kNone && e.StationNo >= 1 && e.StationNo <= kMaxStations)
      claims[e.StationNo].push_back({static_cast<uint16_t>(ch), e});
  }

  std::string out = "{\"stations\":[";
  bool first = true;
  for (int n = 1; n <= di.StationCount; ++n) {
    const StationConfig *st = di.ConfigAt(n);
    if (!st) continue;
    if (!first) out += ',';
    first = false;
    AppendStation(out, *st, n, claims[n]);
  }

  out += "],\"driverChannels\":[";
  first = true;
  for (const DriverChannel &d : kDriverChannels) {
    if (!first) out += ',';
    first = false;
    out += '{';
    AppendNumber(out, "first", d.First);
    out += ',';
    AppendNumber(out, "last", d.Last);
    out += ',';
    AppendText(out, "what", d.What);
    out += ',';
    AppendTypes(out, "read", d.Read);
    out += ',';
    AppendTypes(out, "write", d.Write);
    out += ",\"command\":";
    out += d.Command ? "true" : "false";
    out += '}';
  }

  // A diagnostic channel is served only when no variable or station claims it.
  out += "],\"diagnosticChannels\":[";
  first = true;
  for (const Diagnostic &d : kDiagnostics) {
    if (index->Entries[d.Channel].Class != ChannelEntry::kNone) continue;
    if (!first) out += ',';
    first = false;
    out += '{';
    AppendNumber(out, "channel", d.Channel);
    out += ',';
    AppendText(out, "what", d.What);
    out += ',';
    AppendTypes(out, "read", d.Read);
    out += '}';
  }
  out += "]}";
  return out;
}

}  // namespace zl
