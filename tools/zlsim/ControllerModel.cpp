#include "zlsim/ControllerModel.h"

#include <cmath>
#include <cstring>
#include <ctime>

#include "port/Clock.h"
#include "util/Encodings.h"

namespace zl::sim {

namespace {

constexpr double kTwoPi = 6.283185307179586;

uint8_t Bcd(int v) {
  return static_cast<uint8_t>((v / 10 % 10) << 4 | v % 10);
}

void PutWordBigEndian(std::string &out, uint16_t w) {
  out += static_cast<char>(w >> 8);
  out += static_cast<char>(w & 0xFF);
}

void PutLittleEndian(std::string &out, uint32_t v, int size) {
  for (int i = 0; i < size; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
}

QqValue LittleEndian32(uint32_t v) {
  return QqValue{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                 static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
}

uint32_t SingleBits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

// Groups whose bits are set in a mask, in increasing order; mask 0 of a
// binary group command stands for all twelve groups.
std::vector<int> MaskGroups(uint8_t mask, int zeroMeansGroups) {
  std::vector<int> groups;
  if (mask == 0) {
    for (int g = 0; g < zeroMeansGroups; ++g) groups.push_back(g);
    return groups;
  }
  for (int g = 0; g < 8; ++g)
    if (mask >> g & 1) groups.push_back(g);
  return groups;
}

std::string Real3(double value) {
  return std::string(EncodeReal3(value).view());
}

std::string ErrorItem(uint8_t number) {
  return std::string{'E', static_cast<char>(number)};
}

uint16_t Address16(std::string_view cmd, std::size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(cmd[at]) | static_cast<uint8_t>(cmd[at + 1])
                                                                   << 8);
}

double Clamp(double v, double lo, double hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

// The text a STRING variable starts with: 32 characters, four per part.
std::string InitialText(int station, std::size_t index) {
  std::string text = "ZL2 SIM ST" + std::to_string(station) + " VAR" + std::to_string(index + 1);
  text.resize(32, ' ');
  return text;
}

}  // namespace

ControllerModel::ControllerModel(const StationConfig &config, int number, uint64_t seed)
    : config_(config),
      number_(number),
      rng_(seed * 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(number)),
      memory_(kMemorySize, 0) {
  spareOutputs_.fill(std::string(3, '\0'));
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < 64; ++i) {
    analogPeriod_[i] = 60.0 + 240.0 * unit(rng_);
    analogPhase_[i] = kTwoPi * unit(rng_);
  }
  for (double &r : counterRate_) r = 0.2 + 4.8 * unit(rng_);
  for (double &r : toggleRate_) r = 0.01 + 0.2 * unit(rng_);
  for (uint8_t &g : binaryIn_) g = static_cast<uint8_t>(rng_());
  for (int i = 0; i < 48; ++i) counters_[i] = static_cast<uint16_t>(rng_() % 1000);

  for (std::size_t i = 0; i < config_.QqVariables.size(); ++i) {
    const QqVariable &v = config_.QqVariables[i];
    if (v.Type != kQqString) continue;
    std::string text = InitialText(number_, i);
    for (int part = 0; part < 8; ++part) {
      QqValue chars;
      std::memcpy(chars.data(), text.data() + 4 * part, 4);
      qq_[QqKey(v.Address[0], v.Address[1], static_cast<uint8_t>(v.Address[2] + part))] = chars;
    }
  }
  MoveLocked(0.0);
  FillSamples();
}

// ---------------------------------------------------------------------------
// Commands

std::string ControllerModel::Serve(std::string_view command, std::size_t maxItems) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string items;
  if (command.empty() || !Dispatch(command, items) || items.size() > maxItems)
    return ErrorItem(kErrorBadRequest);
  return items;
}

bool ControllerModel::Dispatch(std::string_view cmd, std::string &items) {
  const char letter = cmd[0];
  const uint8_t mask = cmd.size() >= 2 ? static_cast<uint8_t>(cmd[1]) : 0;
  items.assign(cmd.substr(0, std::min<std::size_t>(cmd.size(), 2)));
  switch (letter) {
    case 'B': {  // binary inputs
      if (cmd.size() != 2) return false;
      for (int g : MaskGroups(mask, 12)) items += static_cast<char>(binaryIn_[g]);
      return true;
    }
    case 'b': {  // binary outputs: stored, then echoed
      std::vector<int> groups = MaskGroups(mask, 12);
      if (cmd.size() != 2 + groups.size()) return false;
      for (std::size_t i = 0; i < groups.size(); ++i)
        binaryOut_[groups[i]] = static_cast<uint8_t>(cmd[2 + i]);
      items = cmd;
      return true;
    }
    case 'N': {  // memory read: address (low, high), length
      if (cmd.size() != 4) return false;
      items = cmd;
      AppendMemory(items, Address16(cmd, 1), static_cast<uint8_t>(cmd[3]));
      return true;
    }
    case 'n': {  // memory write: address, size, bytes; echoed
      if (cmd.size() < 4 || cmd.size() != 4u + static_cast<uint8_t>(cmd[3])) return false;
      StoreMemory(Address16(cmd, 1), cmd.substr(4));
      items = cmd;
      return true;
    }
    case 'C': {  // counters; bit 7 asks for a reset of the groups named
      if (cmd.size() != 2) return false;
      for (int g = 0; g < 6; ++g) {
        if (!(mask >> g & 1)) continue;
        for (int k = 0; k < 8; ++k) {
          if (mask & 0x80) {
            counters_[8 * g + k] = 0;
            counterCarry_[8 * g + k] = 0.0;
          } else {
            PutWordBigEndian(items, counters_[8 * g + k]);
          }
        }
      }
      return true;
    }
    case 'A': {  // analog inputs, eight words per group
      if (cmd.size() != 2) return false;
      for (int g : MaskGroups(mask, 0))
        for (int k = 0; k < 8; ++k) PutWordBigEndian(items, analog_[8 * g + k]);
      return true;
    }
    case 'K': {  // memory outputs 1..8 as 3-byte reals
      if (cmd.size() != 2) return false;
      for (int g : MaskGroups(mask, 0)) {
        items += MemoryOutputLocked(g);
      }
      return true;
    }
    case 'k': {  // memory outputs 1..8 written as 3-byte reals; echoed
      std::vector<int> groups = MaskGroups(mask, 0);
      if (cmd.size() != 2 + 3 * groups.size()) return false;
      for (std::size_t i = 0; i < groups.size(); ++i) {
        std::string_view r = cmd.substr(2 + 3 * i, 3);
        int g = groups[i];
        if (g < MemoryOutCount()) {
          const MemoryItemDef &item = config_.MemoryOut[g + 1];
          if (item.Type == 3) {
            StoreMemory(item.Address, r);
          } else {
            WriteMemoryItem(item, DecodeReal3(r));
          }
        } else {
          spareOutputs_[g] = std::string(r);
        }
      }
      items = cmd;
      return true;
    }
    case 'Q':
      return ServeQq(cmd, items);
    default:
      return false;
  }
}

bool ControllerModel::ServeQq(std::string_view cmd, std::string &items) {
  if (cmd.size() < 2) return false;
  std::string_view data = cmd.substr(2);
  switch (cmd[1]) {
    case 'Q': {  // writes: three address bytes and four value bytes each
      if (data.empty() || data.size() % 7 != 0) return false;
      for (std::size_t i = 0; i < data.size(); i += 7) {
        QqValue v;
        std::memcpy(v.data(), data.data() + i + 3, 4);
        qq_[QqKey(static_cast<uint8_t>(data[i]), static_cast<uint8_t>(data[i + 1]),
                  static_cast<uint8_t>(data[i + 2]))] = v;
      }
      items = "QQ";
      return true;
    }
    case 'q': {  // reads: four value bytes per three-byte descriptor
      if (data.empty() || data.size() % 3 != 0) return false;
      items = "Qq";
      for (std::size_t i = 0; i < data.size(); i += 3) {
        auto it = qq_.find(QqKey(static_cast<uint8_t>(data[i]), static_cast<uint8_t>(data[i + 1]),
                                 static_cast<uint8_t>(data[i + 2])));
        QqValue v = it == qq_.end() ? QqValue{} : it->second;
        items.append(reinterpret_cast<const char *>(v.data()), 4);
      }
      return true;
    }
    case 'N': {  // sample memory block: kind, address, length
      if (cmd.size() != 6) return false;
      switch (static_cast<uint8_t>(cmd[2])) {
        case 72:
        case 76:
        case 80:
        case 136:
        case 140:
        case 144:
          break;
        default:
          return false;
      }
      items = cmd;
      AppendMemory(items, Address16(cmd, 3), static_cast<uint8_t>(cmd[5]));
      return true;
    }
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// Memory

void ControllerModel::AppendMemory(std::string &out, uint16_t address, std::size_t count) const {
  for (std::size_t i = 0; i < count; ++i) out += static_cast<char>(memory_[(address + i) & 0xFFFF]);
}

void ControllerModel::StoreMemory(uint16_t address, std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i)
    memory_[(address + i) & 0xFFFF] = static_cast<uint8_t>(bytes[i]);
}

std::string ControllerModel::ReadMemoryItem(const MemoryItemDef &item) const {
  const uint16_t a = item.Address;
  switch (item.Type) {
    case 1:
      return Real3(memory_[a]);
    case 2:
      return Real3(memory_[a] | memory_[(a + 1) & 0xFFFF] << 8);
    case 3: {
      std::string raw;
      AppendMemory(raw, a, 3);
      return raw;
    }
    default:
      return Real3(0.0);
  }
}

void ControllerModel::WriteMemoryItem(const MemoryItemDef &item, double value) {
  std::string bytes;
  switch (item.Type) {
    case 1:
      bytes += static_cast<char>(static_cast<uint8_t>(Clamp(value, 0, 255)));
      break;
    case 2:
      PutLittleEndian(bytes, static_cast<uint16_t>(Clamp(value, 0, 65535)), 2);
      break;
    case 3:
      bytes = Real3(value);
      break;
    default:
      return;
  }
  StoreMemory(item.Address, bytes);
}

std::string ControllerModel::MemoryOutputLocked(int index) const {
  if (index < MemoryOutCount()) return ReadMemoryItem(config_.MemoryOut[index + 1]);
  return spareOutputs_[index];
}

int ControllerModel::MemoryInCount() const {
  return std::min<int>(config_.NumMemoryIn, kMemoryListSize);
}

int ControllerModel::MemoryOutCount() const {
  return std::min<int>(config_.NumMemoryOut, kMemoryListSize);
}

// ---------------------------------------------------------------------------
// Motion

void ControllerModel::WriteAnalogLocked(int index, uint16_t word) {
  analog_[index] = word;
  if (index >= config_.NumAnalogIn) return;
  double range = (word & 0x8000) ? 4095.0 : 255.0;
  double percent = 100.0 * (word & 0x7FFF) / range;
  StoreMemory(static_cast<uint16_t>(config_.AnalogInAddr + 3 * index), Real3(percent));
}

void ControllerModel::Advance(double seconds) {
  if (seconds <= 0.0) return;
  // Tested under the lock: once SetFrozen has returned, a movement that began
  // before it is over by the time any value can be read, and none follows.
  std::lock_guard<std::mutex> lock(mutex_);
  if (frozen_.load()) return;
  MoveLocked(seconds);
}

void ControllerModel::MoveLocked(double dt) {
  time_ += dt;
  const double t = time_;
  std::uniform_real_distribution<double> unit(0.0, 1.0);

  for (int i = 0; i < config_.NumBinarIn && i < 96; ++i) {
    if (dt > 0.0 && unit(rng_) < 1.0 - std::exp(-toggleRate_[i] * dt))
      binaryIn_[i / 8] ^= static_cast<uint8_t>(1u << (i % 8));
  }
  for (int i = 0; i < config_.NumAnalogIn && i < 64; ++i) {
    bool twelveBit = i % 2 == 0;
    double range = twelveBit ? 4095.0 : 255.0;
    double level = 0.5 + 0.4 * std::sin(kTwoPi * t / analogPeriod_[i] + analogPhase_[i]);
    auto raw = static_cast<uint16_t>(std::lround(range * level));
    WriteAnalogLocked(i, static_cast<uint16_t>(raw | (twelveBit ? 0x8000 : 0)));
  }
  for (int i = 0; i < config_.NumCounterIn && i < 48; ++i) {
    counterCarry_[i] += counterRate_[i] * dt;
    double whole = std::floor(counterCarry_[i]);
    counterCarry_[i] -= whole;
    counters_[i] = static_cast<uint16_t>(counters_[i] + static_cast<uint32_t>(whole));
  }
  for (int j = 0; j < MemoryInCount(); ++j) {
    double s = std::sin(kTwoPi * t / (120.0 + 10.0 * j) + static_cast<double>(j));
    const MemoryItemDef &item = config_.MemoryIn[j + 1];
    double value = item.Type == 1   ? 128 + 100 * s
                   : item.Type == 2 ? 30000 + 20000 * s
                                    : 50 + 40 * s;
    WriteMemoryItem(item, value);
  }
  for (const MemoryBlock &block : config_.MemoryBlocks) {
    auto address = static_cast<uint16_t>(block.Address);
    for (std::size_t k = 0; k < block.ItemTypes.size(); ++k) {
      auto type = static_cast<uint8_t>(block.ItemTypes[k]);
      if (BlockItemSize(type) == 0) break;
      bool input = k < block.ItemDirections.size() && block.ItemDirections[k] == 1;
      if (input) {
        std::string bytes;
        if (type == kBlkReal) {
          bytes = Real3(20.0 + 5.0 * std::sin(kTwoPi * t / 300.0 + k));
        } else {
          PutLittleEndian(bytes, static_cast<uint32_t>(t) + static_cast<uint32_t>(k),
                          BlockItemSize(type));
        }
        StoreMemory(address, bytes);
      }
      address = static_cast<uint16_t>(address + BlockItemSize(type));
    }
  }
  // READ variables move; variables the driver writes keep what it wrote.
  for (std::size_t i = 0; i < config_.QqVariables.size(); ++i) {
    const QqVariable &v = config_.QqVariables[i];
    if (v.Direction != kQqRead || v.Type == kQqString) continue;
    auto n = static_cast<int64_t>(i + 1);
    auto ticks = static_cast<int64_t>(t);
    uint32_t value = 0;
    switch (v.Type) {
      case 1:
        value = static_cast<uint32_t>((10 * n + ticks) % 256);
        break;
      case 2:
        value = static_cast<uint32_t>((1000 * n + ticks) % 65536);
        break;
      case 3:
        value = static_cast<uint32_t>(static_cast<int32_t>(-100 * n + ticks % 200));
        break;
      case 4:
        value = static_cast<uint32_t>(100000 * n + ticks);
        break;
      case 5:
        value = static_cast<uint32_t>(static_cast<int32_t>(-100000 * n + ticks));
        break;
      case 6:
        value = SingleBits(static_cast<float>(20.5 + n + 5.0 * std::sin(kTwoPi * t / 600.0)));
        break;
      default:
        break;
    }
    qq_[QqKey(v.Address[0], v.Address[1], v.Address[2])] = LittleEndian32(value);
  }
}

void ControllerModel::FillSamples() {
  LocalDateTime now = Now();
  std::tm tm{};
  tm.tm_year = now.Year - 1900;
  tm.tm_mon = now.Month - 1;
  tm.tm_mday = now.Day;
  tm.tm_hour = now.Hour;
  tm.tm_min = now.Minute;
  tm.tm_sec = 0;
  tm.tm_isdst = -1;
  std::time_t last = std::mktime(&tm);
  for (int r = 0; r < kControllerSampleRows; ++r) {
    std::time_t at =
        last - static_cast<std::time_t>(kControllerSampleRows - 1 - r) * kSampleIntervalSeconds;
    std::tm local{};
    localtime_r(&at, &local);
    SampleRowBytes row{};
    row[0] = Bcd(local.tm_year % 100);
    row[1] = Bcd(local.tm_mon + 1);
    row[2] = Bcd(local.tm_mday);
    row[3] = Bcd(local.tm_hour);
    row[4] = Bcd(local.tm_min);
    row[5] = Bcd(local.tm_sec);
    row[6] = 0;
    for (int v = 0; v < 8; ++v) {
      double value = 20.0 + 10.0 * v + 5.0 * std::sin(kTwoPi * r / 96.0 + v);
      std::string bytes = Real3(value);
      std::memcpy(row.data() + 7 + 3 * v, bytes.data(), 3);
    }
    std::memcpy(memory_.data() + kSampleBase + r * kSampleRowBytes, row.data(), row.size());
  }
}

// ---------------------------------------------------------------------------
// Inspection

std::string ControllerModel::Memory(uint16_t address, std::size_t count) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string out;
  AppendMemory(out, address, count);
  return out;
}

void ControllerModel::SetMemory(uint16_t address, std::string_view bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  StoreMemory(address, bytes);
}

bool ControllerModel::Bit(const BinaryGroups &groups, int index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return index >= 0 && index < 96 && (groups[index / 8] >> (index % 8) & 1);
}

void ControllerModel::SetBit(BinaryGroups &groups, int index, bool on) {
  if (index < 0 || index >= 96) return;
  std::lock_guard<std::mutex> lock(mutex_);
  auto bit = static_cast<uint8_t>(1u << (index % 8));
  groups[index / 8] =
      static_cast<uint8_t>(on ? (groups[index / 8] | bit) : (groups[index / 8] & ~bit));
}

uint16_t ControllerModel::AnalogWord(int index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return index >= 0 && index < 64 ? analog_[index] : 0;
}

void ControllerModel::SetAnalogWord(int index, uint16_t word) {
  if (index < 0 || index >= 64) return;
  std::lock_guard<std::mutex> lock(mutex_);
  WriteAnalogLocked(index, word);
}

uint16_t ControllerModel::Counter(int index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return index >= 0 && index < 48 ? counters_[index] : 0;
}

void ControllerModel::SetCounter(int index, uint16_t count) {
  if (index < 0 || index >= 48) return;
  std::lock_guard<std::mutex> lock(mutex_);
  counters_[index] = count;
}

QqValue ControllerModel::QqBytes(uint8_t a1, uint8_t a2, uint8_t a3) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = qq_.find(QqKey(a1, a2, a3));
  return it == qq_.end() ? QqValue{} : it->second;
}

void ControllerModel::SetQqBytes(uint8_t a1, uint8_t a2, uint8_t a3, const QqValue &value) {
  std::lock_guard<std::mutex> lock(mutex_);
  qq_[QqKey(a1, a2, a3)] = value;
}

SampleRowBytes ControllerModel::SampleRow(int index) const {
  SampleRowBytes row{};
  if (index < 0 || index >= kControllerSampleRows) return row;
  std::lock_guard<std::mutex> lock(mutex_);
  std::memcpy(row.data(), memory_.data() + kSampleBase + index * kSampleRowBytes, row.size());
  return row;
}

void ControllerModel::SetSampleRow(int index, const SampleRowBytes &row) {
  if (index < 0 || index >= kControllerSampleRows) return;
  std::lock_guard<std::mutex> lock(mutex_);
  std::memcpy(memory_.data() + kSampleBase + index * kSampleRowBytes, row.data(), row.size());
}

std::string ControllerModel::MemoryOutputReal(int index) const {
  if (index < 0 || index >= 8) return Real3(0.0);
  std::lock_guard<std::mutex> lock(mutex_);
  return MemoryOutputLocked(index);
}

}  // namespace zl::sim
