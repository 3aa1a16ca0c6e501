// Large parameter files for the benchmarks and their tests: up to 100
// stations on one gateway endpoint, 60 QQ variables each, and (optionally)
// every other kind of definition a station may carry, laid out so that every
// channel class has channels of its own in every station.
//
// Channel plan of station n (B = 500 (n - 1), ORIGINAL_CHANNELS):
//   B + 1 ...        binary inputs, outputs, analog inputs, counters, memory
//                    outputs and inputs, the status channels, Video texts
//   56000 + 20 (n - 1) + k   memory block items, block reads, name, call code
//   50000 + 60 (n - 1) + v   QQ variable v (0..59)
// No station channel lies in 488..499, so the diagnostic channels stay the
// driver's.
#ifndef ZL_TESTS_SUPPORT_PERFCONFIG_H
#define ZL_TESTS_SUPPORT_PERFCONFIG_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zl::test::perf {

constexpr int kQqPerStation = 60;
constexpr uint16_t kFirstQqChannel = 50000;
constexpr uint16_t kFirstExtraChannel = 56000;
constexpr int kExtraPerStation = 20;
// The variable that is a STRING (eight 4-character parts); the others cycle
// through BYTE, WORD, INTEGER, CARDINAL, LONGINT and REAL.
constexpr int kStringVariable = kQqPerStation - 1;
// A REAL variable (v % 6 == 5).
constexpr int kRealVariable = 5;

// Object counts of every station with the full set of definitions.
constexpr int kBinaryIn = 96;
constexpr int kBinaryOut = 32;
constexpr int kAnalogIn = 16;
constexpr int kCounters = 16;
constexpr int kMemoryIn = 8;
constexpr int kMemoryOut = 8;
constexpr int kBlockItems = 4;  // items of the first memory block

inline uint16_t StationBase(int station) {
  return static_cast<uint16_t>(500 * (station - 1));
}
inline uint16_t QqChannel(int station, int v) {
  return static_cast<uint16_t>(kFirstQqChannel + kQqPerStation * (station - 1) + v);
}
inline uint16_t ExtraChannel(int station, int k) {
  return static_cast<uint16_t>(kFirstExtraChannel + kExtraPerStation * (station - 1) + k);
}
// Block 0: items at extra 0..3, read at 4; block 1: items at 5..7, read at 8.
inline uint16_t BlockItemChannel(int station, int item) {
  return ExtraChannel(station, item - 1);
}
inline uint16_t NameChannel(int station) {
  return ExtraChannel(station, 9);
}
inline uint16_t CallCodeChannel(int station) {
  return ExtraChannel(station, 10);
}
inline uint16_t ConnectChannel(int station) {
  return static_cast<uint16_t>(StationBase(station) + 476);
}

// The three address bytes of variable v of station n: unique over the whole
// line, with room for the eight parts of the STRING.
std::array<uint8_t, 3> QqAddress(int station, int v);

struct PerfFileOptions {
  int Stations = 100;
  // Every kind of definition (memory lists, counters, analog limits,
  // inversions, memory blocks, phone numbers, named channels); false: only
  // the required keywords, ORIGINAL_CHANNELS and the QQ variables.
  bool EveryKind = true;
  // [GLOBAL] framing and timing.
  std::string Prefix = "$02$02";
  std::string Suffix = "$0D";
  double AnswerTime = 2.5;
  int SilenceWait = 0;
  int IdleTime = 10;
  // Every station's gateway endpoint.
  std::string Ip = "127.0.0.1";
  int Port = 4001;
};

// The parameter file, CR LF line ends.
std::string PerfParameterFile(const PerfFileOptions &options = {});

// One channel of a class that GetInput serves, with the value type that reads
// it. Text channels (type 11) need the address of a host buffer of 256 bytes.
struct ClassSample {
  const char *Id;  // a short name for benchmark names
  const char *Class;
  uint16_t Channel;
  uint32_t Type;
};
// A channel of every class in station n of a file with EveryKind: QQ
// variable, binary input, analog input, counter, text, memory block item,
// driver channel, diagnostic (the last two are the same for every station).
std::vector<ClassSample> ClassSamples(int station);

}  // namespace zl::test::perf

#endif  // ZL_TESTS_SUPPORT_PERFCONFIG_H
