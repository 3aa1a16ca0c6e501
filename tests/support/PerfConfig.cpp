#include "support/PerfConfig.h"

#include <cstdio>

#include "support/ConfigFixture.h"
#include "zlnetdrv.h"

namespace zl::test::perf {
namespace {

constexpr const char *kQqTypes[] = {"BYTE", "WORD", "INTEGER", "CARDINAL", "LONGINT", "REAL"};
constexpr const char *kCounterKinds[] = {"REAL",    "HOUR",  "SHIFT",   "DAY",
                                         "WEEKEND", "MONTH", "QUARTER", "YEAR"};

std::string Hex4(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "$%04X", value & 0xFFFF);
  return text;
}

std::string GlobalText(const PerfFileOptions &o) {
  return "[GLOBAL]\n"
         " PREFIX " +
         o.Prefix + "\n SUFFIX " + o.Suffix + "\n PRESUFFIX NONE\n ADDRESS 0\n" + " ANSWER_TIME " +
         std::to_string(o.AnswerTime) + "\n SILENCE_WAIT " + std::to_string(o.SilenceWait) +
         "\n IDLE_TIME " + std::to_string(o.IdleTime) +
         "\n DEF_ANALOG_IN_ADDR 40\n NUM_TOLVIN_ERROR 3\n SLEEP_TIME 30\n SLEEP_COUNT 5\n"
         "END\n";
}

// Memory lists, counters, analog limits, inversions, two memory blocks and
// the named channels of station n.
std::string Definitions(int n) {
  std::string s;
  s += " BINAR_IN_XOR 1 5 17 96\n BINAR_OUT_XOR 2 32\n";
  s += " DEF_MEMORY_IN\n";
  for (int i = 1; i <= kMemoryIn; ++i) {
    static constexpr const char *kTypes[] = {"WORD", "BYTE", "REAL"};
    s += "  " + std::to_string(i) + " " + Hex4(0x0100 + 4 * i) + " " + kTypes[i % 3] + "\n";
  }
  s += " DEF_MEMORY_END\n DEF_MEMORY_OUT\n";
  for (int i = 1; i <= kMemoryOut; ++i)
    s += "  " + std::to_string(i) + " " + Hex4(0x0200 + 3 * i) + " REAL\n";
  s += " DEF_MEMORY_END\n DEF_COUNTER_IN\n";
  for (int i = 1; i <= kCounters; ++i)
    s += "  " + std::to_string(i) + " " + kCounterKinds[i % 8] + " 0.5 " + std::to_string(i) + "\n";
  s += " DEF_COUNTER_END\n ANALOG_LIMITS\n";
  for (int i = 1; i <= kAnalogIn; ++i) s += "  " + std::to_string(i) + " -50 150 0\n";
  s += " ANALOG_LIMITS_END\n";
  s += " MEMORY_BLOCK\n  ADDR $0300\n  CHANNEL " + std::to_string(BlockItemChannel(n, 1)) +
       "\n  CHANNEL_READ " + std::to_string(ExtraChannel(n, 4)) +
       "\n  TYPES\n   WORD BIDIR\n   REAL INPUT\n   BYTE INPUT\n   LONGINT OUTPUT\n"
       "  TYPES_END\n MEMORY_BLOCK_END\n";
  s += " MEMORY_BLOCK\n  ADDR $0320\n  CHANNEL " + std::to_string(ExtraChannel(n, 5)) +
       "\n  CHANNEL_READ " + std::to_string(ExtraChannel(n, 8)) +
       "\n  TYPES\n   CARDINAL INPUT\n   INTEGER INPUT\n   WORD INPUT\n  TYPES_END\n"
       " MEMORY_BLOCK_END\n";
  s += " name_channel " + std::to_string(NameChannel(n)) + "\n CallCode " +
       std::to_string(CallCodeChannel(n)) + "\n";
  if (n % 10 == 0) s += " PHONE \"123\"\n";
  return s;
}

std::string StationText(const PerfFileOptions &o, int n) {
  std::string s = "[STATION]\n ADDRESS " + std::to_string(n) + "\n RETRANSLATION 0\n NAME \"ST" +
                  std::to_string(n) + "\"\n IP \"" + o.Ip + "\"\n PORT " + std::to_string(o.Port) +
                  "\n ORIGINAL_CHANNELS\n";
  if (o.EveryKind) {
    s += " NUM_BINAR_IN " + std::to_string(kBinaryIn) + "\n NUM_BINAR_OUT " +
         std::to_string(kBinaryOut) + "\n NUM_ANALOG_IN " + std::to_string(kAnalogIn) +
         "\n NUM_COUNTER_IN " + std::to_string(kCounters) + "\n NUM_MEMORY_IN " +
         std::to_string(kMemoryIn) + "\n NUM_MEMORY_OUT " + std::to_string(kMemoryOut) +
         "\n DEF_ANALOG_IN_ADDR FROM_GLOBAL\n";
    s += Definitions(n);
  } else {
    s += " NUM_BINAR_IN 16\n NUM_BINAR_OUT 8\n NUM_ANALOG_IN 4\n NUM_COUNTER_IN 0\n"
         " NUM_MEMORY_IN 0\n NUM_MEMORY_OUT 0\n BINAR_IN_XOR NONE\n BINAR_OUT_XOR NONE\n"
         " DEF_ANALOG_IN_ADDR FROM_GLOBAL\n DEF_MEMORY_IN NONE\n DEF_MEMORY_OUT NONE\n"
         " DEF_COUNTER_IN NONE\n";
  }
  for (int v = 0; v < kQqPerStation; ++v) {
    const auto a = QqAddress(n, v);
    const char *direction = v % 10 == 9 ? "BIDIR" : "READ";
    const char *type = v == kStringVariable ? "STRING" : kQqTypes[v % 6];
    s += " QQ " + std::string(direction) + " " + std::to_string(QqChannel(n, v)) + " " +
         std::to_string(a[0]) + " " + std::to_string(a[1]) + " " + std::to_string(a[2]) + " " +
         type + "\n";
  }
  return s + "END\n";
}

}  // namespace

std::array<uint8_t, 3> QqAddress(int station, int v) {
  // a1 selects the half of the list, a3 steps by 8 so that a STRING's eight
  // parts never meet the next variable.
  return {static_cast<uint8_t>(v / 30), static_cast<uint8_t>(station),
          static_cast<uint8_t>((v % 30) * 8)};
}

std::string PerfParameterFile(const PerfFileOptions &options) {
  std::string text = GlobalText(options);
  for (int n = 1; n <= options.Stations; ++n) text += StationText(options, n);
  return Crlf(text);
}

std::vector<ClassSample> ClassSamples(int station) {
  const uint16_t b = StationBase(station);
  return {
      {"qq", "QQ variable", QqChannel(station, kRealVariable), ZL_TYPE_DOUBLE},
      {"binary_in", "binary input", static_cast<uint16_t>(b + 5), ZL_TYPE_BOOL},  // inverted
      {"analog_in", "analog input", static_cast<uint16_t>(b + 193 + 3), ZL_TYPE_DOUBLE},
      {"counter", "counter", static_cast<uint16_t>(b + 257 + 2), ZL_TYPE_DOUBLE},
      {"text", "text", static_cast<uint16_t>(b + 456), ZL_TYPE_TEXT},  // Video text 1: 256 bytes
      {"block_item", "memory block item", BlockItemChannel(station, 2), ZL_TYPE_DOUBLE},  // REAL
      {"driver", "driver channel", 60010, ZL_TYPE_DOUBLE},  // value 1 of the selected sample row
      {"diagnostic", "diagnostic", 489, ZL_TYPE_DOUBLE},    // seconds since an answer
  };
}

}  // namespace zl::test::perf
