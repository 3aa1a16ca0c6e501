// One simulated controller: its objects, its 64 KiB of memory and its QQ
// variables, and the answers it gives to ZL2 commands.
//
// Memory holds, where the station's configuration puts them: the memory
// inputs and outputs (by their type: a byte, a word low byte first, or a
// 3-byte real), the analog input block at DEF_ANALOG_IN_ADDR (one 3-byte real
// per configured analog input, 0..100 % of its range), the memory blocks, and
// the sample memory: 528 rows of 31 bytes (six BCD time-stamp bytes year,
// month, day, hour, minute, second; a status byte; eight 3-byte reals) in 88
// blocks of 186 bytes from 0x8000.
//
// Analog inputs are 12-bit (words 0..4095 sent with bit 15 set) at even
// indexes and 8-bit (0..255) at odd ones. Memory outputs 1..8 beyond the
// configured count are kept in registers of their own for "K" and "k".
//
// Every public member is thread-safe: the simulator's line thread serves
// commands while tests and the demo host inspect and change the values.
// Indexes count from 0 (binary object 0 is bit 0 of group 0).
#ifndef ZL_ZLSIM_CONTROLLERMODEL_H
#define ZL_ZLSIM_CONTROLLERMODEL_H

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "config/ParameterSet.h"

namespace zl::sim {

constexpr std::size_t kMemorySize = 65536;
constexpr uint16_t kSampleBase = 0x8000;
constexpr int kSampleRowBytes = 31;
constexpr int kSampleRowsPerBlock = 6;
constexpr int kSampleBlockBytes = kSampleRowBytes * kSampleRowsPerBlock;  // 186
constexpr int kSampleBlockCount = 88;
constexpr int kControllerSampleRows = kSampleBlockCount * kSampleRowsPerBlock;  // 528
constexpr int kSampleIntervalSeconds = 60;

// Control error numbers a controller reports in an "E" item.
constexpr uint8_t kErrorBadRequest = 6;  // the request cannot be carried out
constexpr uint8_t kErrorControl = 7;     // a fault in the controlled process

using SampleRowBytes = std::array<uint8_t, kSampleRowBytes>;
using QqValue = std::array<uint8_t, 4>;

class ControllerModel {
 public:
  // Station number (1 = the first [STATION] section) with its configuration.
  // Values start from the seed; sample rows end at the current minute of the
  // driver's clock, one row a minute.
  ControllerModel(const StationConfig &config, int number, uint64_t seed);
  ControllerModel(const ControllerModel &) = delete;
  ControllerModel &operator=(const ControllerModel &) = delete;

  const StationConfig &Config() const { return config_; }
  int Number() const { return number_; }

  // Carries out one command (the request's bytes between its header and
  // PRESUFFIX) and answers its item. A command the controller cannot carry out
  // (an unknown letter, a wrong length, an answer longer than maxItems bytes)
  // changes nothing and is answered by "E" with error 6.
  std::string Serve(std::string_view command, std::size_t maxItems);

  // Lets the given time pass: inputs toggle, analog values follow slow curves,
  // counters count, READ variables and input memory move. Nothing moves while
  // frozen.
  void Advance(double seconds);
  void SetFrozen(bool frozen) { frozen_.store(frozen); }
  bool Frozen() const { return frozen_.load(); }

  // --- inspection and changes (tests, demo host). Values that move are
  // overwritten by the next Advance unless the model is frozen.
  std::string Memory(uint16_t address, std::size_t count) const;  // wraps at 64 KiB
  void SetMemory(uint16_t address, std::string_view bytes);
  bool BinaryInput(int index) const { return Bit(binaryIn_, index); }  // 0..95
  void SetBinaryInput(int index, bool on) { SetBit(binaryIn_, index, on); }
  bool BinaryOutput(int index) const { return Bit(binaryOut_, index); }  // 0..95
  void SetBinaryOutput(int index, bool on) { SetBit(binaryOut_, index, on); }
  uint16_t AnalogWord(int index) const;  // 0..63, as sent (bit 15: 12-bit)
  void SetAnalogWord(int index, uint16_t word);
  uint16_t Counter(int index) const;  // 0..47
  void SetCounter(int index, uint16_t count);
  QqValue QqBytes(uint8_t a1, uint8_t a2, uint8_t a3) const;  // zeros when never set
  void SetQqBytes(uint8_t a1, uint8_t a2, uint8_t a3, const QqValue &value);
  SampleRowBytes SampleRow(int index) const;  // 0..527
  void SetSampleRow(int index, const SampleRowBytes &row);
  // Memory output 0..7 as "K" sends it: three bytes of a 3-byte real.
  std::string MemoryOutputReal(int index) const;

 private:
  using BinaryGroups = std::array<uint8_t, 12>;  // group g, bit k: object 8g + k
  bool Bit(const BinaryGroups &groups, int index) const;
  void SetBit(BinaryGroups &groups, int index, bool on);
  bool Dispatch(std::string_view cmd, std::string &items);
  bool ServeQq(std::string_view cmd, std::string &items);
  void AppendMemory(std::string &out, uint16_t address, std::size_t count) const;
  void StoreMemory(uint16_t address, std::string_view bytes);
  std::string ReadMemoryItem(const MemoryItemDef &item) const;
  void WriteMemoryItem(const MemoryItemDef &item, double value);
  // The configured entries of the memory lists (entry n at [n - 1]).
  int MemoryInCount() const;
  int MemoryOutCount() const;
  std::string MemoryOutputLocked(int index) const;
  void WriteAnalogLocked(int index, uint16_t word);
  void FillSamples();
  void MoveLocked(double seconds);

  static uint32_t QqKey(uint8_t a1, uint8_t a2, uint8_t a3) {
    return static_cast<uint32_t>(a1) << 16 | static_cast<uint32_t>(a2) << 8 | a3;
  }

  const StationConfig config_;
  const int number_;
  mutable std::mutex mutex_;
  std::atomic<bool> frozen_{false};
  std::mt19937_64 rng_;
  double time_ = 0.0;  // seconds of motion so far

  std::vector<uint8_t> memory_;
  BinaryGroups binaryIn_{};
  BinaryGroups binaryOut_{};
  std::array<uint16_t, 64> analog_{};
  std::array<uint16_t, 48> counters_{};
  std::array<double, 48> counterCarry_{};
  std::array<std::string, 8> spareOutputs_;  // 3-byte reals
  std::map<uint32_t, QqValue> qq_;

  // Per-object parameters of the motion, drawn from the seed.
  std::array<double, 64> analogPeriod_{}, analogPhase_{};
  std::array<double, 48> counterRate_{};
  std::array<double, 96> toggleRate_{};
};

}  // namespace zl::sim

#endif  // ZL_ZLSIM_CONTROLLERMODEL_H
