// The [STATION] keywords: what each value does to the station record, and the
// loaders of the station-level lists (inverted bits, counters, analog limits).
#include <algorithm>
#include <string>

#include "config/ParameterReader.h"
#include "config/ValueForms.h"
#include "util/Texts.h"

namespace zl {
namespace {

// Host channels of ORIGINAL_CHANNELS, as offsets from the slot's base:
// the groups in GroupChannel order (BI, BO, AI, CT, MI, MO) and the status
// channels in StatusChannel order. Base + 455 is not used.
constexpr uint16_t kGroupOffsets[kGroupCount] = {1, 97, 193, 257, 405, 305};
constexpr uint16_t kStatusOffsets[kStatusChannelCount] = {
    450, 451, 452, 453, 454, 456, 460, 461, 462, 463, 464, 465, 466, 467,
    468, 469, 470, 471, 472, 473, 474, 475, 476, 477, 478, 479, 480};
constexpr uint16_t kMsgCounterOffset = 481;

constexpr std::string_view kCounterKinds[] = {"REAL",    "HOUR",  "SHIFT",   "DAY",
                                              "WEEKEND", "MONTH", "QUARTER", "YEAR"};

// Every channel follows from the slot number, not from the station's address;
// the arithmetic is 16-bit, as the channels are.
void OriginalChannels(StationConfig &st, int slot) {
  auto base = static_cast<uint16_t>((slot - 1) * 500);
  for (int g = 0; g < kGroupCount; ++g)
    st.GroupChannels[g] = static_cast<uint16_t>(base + kGroupOffsets[g]);
  for (int s = 0; s < kStatusChannelCount; ++s)
    st.StatusChannels[s] = static_cast<uint16_t>(base + kStatusOffsets[s]);
  st.MsgCounterChannel = static_cast<uint16_t>(base + kMsgCounterOffset);
  st.NameChannel = 0;
  st.CallCodeChannel = 0;
}

// An object count: 8 bits, clipped to the group's maximum.
bool LoadCount(ParameterReader &r, uint8_t &field, int max) {
  const std::optional<int32_t> v = ParseWhole(r.Item());
  field = v ? static_cast<uint8_t>(*v) : 0;
  if (field > max) {
    field = static_cast<uint8_t>(max);
    r.Note(TextId::FindCountAboveLimit, {r.Keyword, r.Raw(), std::to_string(max)});
  } else {
    r.NoteNumber(v, 0, 255, std::to_string(field));
  }
  return v.has_value();
}

// BINAR_IN_XOR / BINAR_OUT_XOR: NONE, or the bit numbers 1..96 on the rest of
// the line. The first part that is no such number ends the list, undefined.
bool LoadBinarXOR(ParameterReader &r, bool (&bits)[kMaxBinaryIn + 1]) {
  std::fill(std::begin(bits), std::end(bits), false);
  if (r.ItemIs("NONE")) return true;
  std::string list(r.Item());
  list += ' ';
  list += r.RestOfLine();
  r.Debug("LoadBinarXOR", list);
  std::size_t i = 0;
  while (i < list.size()) {
    std::size_t end = list.find_first_of(" \t", i);
    if (end == std::string::npos) end = list.size();
    if (end > i) {
      // value_or: no test reads the payload of an empty optional (memcheck
      // sees such a read in the optimised code as an undefined branch).
      const int32_t n = ParseWhole(std::string_view(list).substr(i, end - i)).value_or(0);
      if (n < 1 || n > kMaxBinaryIn) return false;
      bits[n] = true;
    }
    i = end + 1;
  }
  return true;
}

// Rows of a list that runs to its closing word: each row starts at the
// current item; takeRow reads the rest of the row; the item after each row
// starts the next. Stops at the closing word or the end of the file.
template <class TakeRow>
void ForEachRow(ParameterReader &r, std::string_view closing, TakeRow takeRow) {
  while (!r.ItemIs(closing) && !r.AtEnd()) {
    takeRow();
    r.Next();
  }
}

// DEF_COUNTER_IN: NONE, or rows "number kind factor start" up to DEF_COUNTER_END.
bool LoadCounterInCfg(ParameterReader &r, CounterDef (&counters)[kMaxCounters + 1]) {
  r.Debug("LoadCounterInCfg", r.Item());
  for (CounterDef &c : counters) {
    c = CounterDef();
    c.Factor = ToReal6(1.0);
  }
  if (r.ItemIs("NONE")) return true;
  bool good = true;
  ForEachRow(r, "DEF_COUNTER_END", [&] {
    uint8_t number = 0;
    r.Whole8(number);
    r.Next();
    auto kind = std::find(std::begin(kCounterKinds), std::end(kCounterKinds), r.Item());
    r.Next();
    double factor = r.RealValue();
    r.Next();
    double start = r.RealValue();
    if (number < 1 || number > kMaxCounters || kind == std::end(kCounterKinds)) {
      good = false;
      return;
    }
    CounterDef &c = counters[number];
    c.Kind = static_cast<uint8_t>(kind - std::begin(kCounterKinds) + 1);
    c.Factor = ToReal6(factor);
    c.StartValue = ToReal6(start);
  });
  if (!good) r.SetError(Say(TextId::BadCounterList));
  return good;
}

// ANALOG_LIMITS: NONE, or rows "number low high offset" up to ANALOG_LIMITS_END.
bool LoadAnalogLimits(ParameterReader &r, AnalogLimit (&limits)[kMaxAnalogIn + 1]) {
  r.Debug("Load analogs", r.Item());
  for (AnalogLimit &a : limits) {
    a.High = ToReal6(155.08);
    a.Low = ToReal6(0.0);
    a.Offset = ToReal6(0.0);
  }
  if (r.ItemIs("NONE")) return true;
  bool good = true;
  ForEachRow(r, "ANALOG_LIMITS_END", [&] {
    uint8_t number = 0;
    r.Whole8(number);
    double values[3];  // low, high, offset
    for (double &v : values) {
      r.Next();
      v = r.RealValue();
    }
    if (number < 1 || number > kMaxAnalogIn ||
        std::find(std::begin(values), std::end(values), kInvalidReal) != std::end(values)) {
      good = false;
      return;
    }
    limits[number].Low = ToReal6(values[0]);
    limits[number].High = ToReal6(values[1]);
    limits[number].Offset = ToReal6(values[2]);
    r.Debug("load analogs index", std::to_string(number));
  });
  if (!good) r.SetError(Say(TextId::BadAnalogLimits));
  r.Debug("Load analogs", "end");
  return good;
}

// PHONE: the number as written (upper-cased); a leading "D" sets the dial flag.
bool LoadPhone(ParameterReader &r, StationConfig &st) {
  std::string_view number = r.Item();
  st.DialFlag = !number.empty() && number.front() == 'D';
  if (st.DialFlag) number.remove_prefix(1);
  st.Phone = number;
  r.Debug("phone number is", st.Phone.view());
  return true;
}

}  // namespace

void InitStationConfig(StationConfig &st, int slot) {
  st = StationConfig();
  st.Name = "NAME_" + std::to_string(slot);
  for (AnalogLimit &a : st.AnalogLimits) {
    a.High = ToReal6(100.0);
    a.Low = ToReal6(0.0);
    a.Offset = ToReal6(0.0);
  }
  for (CounterDef &c : st.Counters) c.Factor = ToReal6(1.0);
}

void ApplyStationKeyword(ParameterReader &r, StationConfig &st, int slot, int keyword) {
  bool accepted = false;  // the value was taken: the keyword is defined
  bool isList = false;    // list loaders also mark their keyword undefined
  switch (keyword) {
    case kSAddress:
      accepted = r.Whole8(st.Address);
      break;
    case kSRetranslation:
      accepted = r.Whole8(st.Retranslation);
      break;
    case kSName:
      accepted = r.Text(st.Name);
      break;
    case kSNumBinarIn:
      accepted = LoadCount(r, st.NumBinarIn, kMaxBinaryIn);
      break;
    case kSNumBinarOut:
      accepted = LoadCount(r, st.NumBinarOut, kMaxBinaryOut);
      break;
    case kSNumAnalogIn:
      accepted = LoadCount(r, st.NumAnalogIn, kMaxAnalogIn);
      break;
    case kSNumCounterIn:
      accepted = LoadCount(r, st.NumCounterIn, kMaxCounters);
      break;
    case kSNumMemoryIn:
      accepted = LoadCount(r, st.NumMemoryIn, kMaxMemoryIn);
      break;
    case kSNumMemoryOut:
      accepted = LoadCount(r, st.NumMemoryOut, kMaxMemoryOut);
      break;
    case kSBinarInXor:
      isList = true;
      accepted = LoadBinarXOR(r, st.BinarInXor);
      break;
    case kSBinarOutXor:
      isList = true;
      accepted = LoadBinarXOR(r, st.BinarOutXor);
      break;
    case kSDefAnalogInAddr:
      accepted = r.Whole16(st.AnalogInAddr);
      break;
    case kSDefMemoryIn:
      isList = true;
      accepted = LoadMemoryOutCfg(r, st.MemoryIn, &st.MemoryInBlockRead);
      break;
    case kSDefMemoryOut:
      isList = true;
      accepted = LoadMemoryOutCfg(r, st.MemoryOut, nullptr);
      break;
    case kSDefCounterIn:
      isList = true;
      accepted = LoadCounterInCfg(r, st.Counters);
      break;
    case kSAnalogLimits:
      isList = true;
      accepted = LoadAnalogLimits(r, st.AnalogLimits);
      break;
    case kSPhone:
      accepted = LoadPhone(r, st);
      break;
    case kSQq:
      isList = true;
      accepted = LoadQq(r, st);
      break;
    case kSOriginalChannels:
      OriginalChannels(st, slot);
      accepted = true;
      break;
    case kSMemoryBlock:
      isList = true;
      accepted = LoadMemoryBlock(r, st);
      break;
    case kSMsgCounter:
      accepted = r.Whole16(st.MsgCounterChannel);
      break;
    case kSNameChannel:
      accepted = r.Whole16(st.NameChannel);
      break;
    case kSCallCode:
      accepted = r.Whole16(st.CallCodeChannel);
      break;
    case kSIp:
      accepted = r.Text(st.Ip);
      break;
    case kSPort:
      accepted = r.Whole16(st.Port);
      break;
    default:
      if (keyword >= kSChannelBI && keyword <= kSChannelMO) {
        accepted = r.Whole16(st.GroupChannels[keyword - kSChannelBI]);
      } else if (keyword >= kSFirstStatus && keyword <= kSLastStatus) {
        accepted = r.Whole16(st.StatusChannels[keyword - kSFirstStatus]);
      }
      break;
  }
  if (isList || accepted) r.Defined[keyword] = accepted;
}

}  // namespace zl
