#include "support/LineWorkload.h"

#include <algorithm>
#include <cstring>

#include "util/Encodings.h"
#include "util/Real6.h"

namespace zl::test {
namespace {

using demo::Ch;

// Station 1 (KOTELNA): inputs 3 and 4 are inverted, analog block at 40,
// memory inputs as one block of four reals from 0x100. Station 2 (VYMENIK):
// analog block at 48, memory inputs WORD 0x110, BYTE 0x112, REAL 0x113.
constexpr int kInputs[] = {0, 16, 8};
constexpr int kAnalog[] = {0, 8, 4};
constexpr uint16_t kAnalogAddress[] = {0, 40, 48};
// QQ variables read: channel, station, address.
struct QqRead {
  uint16_t Channel;
  int Slot;
  uint8_t A[3];
};
constexpr QqRead kQq[] = {{2501, 1, {0, 16, 1}}, {2503, 1, {0, 16, 5}}, {2600, 2, {0, 16, 0}}};

bool Inverted(int slot, int input) {
  return slot == 1 && (input == 3 || input == 4);
}

// A real as the driver keeps it: through the 6-byte real.
double Kept(double x) {
  return FromReal6(ToReal6(x));
}

double Real3At(sim::ControllerModel &m, uint16_t address) {
  return Kept(DecodeReal3(m.Memory(address, 3)));
}

uint32_t Le32(const sim::QqValue &v) {
  return v[0] | v[1] << 8 | v[2] << 16 | static_cast<uint32_t>(v[3]) << 24;
}

}  // namespace

LineWorkload::LineWorkload(HostSession &session) : s_(session) {
  for (int slot = 1; slot <= 2; ++slot) {
    for (int k = 1; k <= kInputs[slot]; ++k)
      channels_.push_back({Ch(slot, demo::kBI + k - 1), ZL_TYPE_BOOL, {}});
    for (int k = 1; k <= kAnalog[slot]; ++k)
      channels_.push_back({Ch(slot, demo::kAI + k - 1), ZL_TYPE_DOUBLE, {}});
    for (int k = 1; k <= (slot == 1 ? 4 : 3); ++k)
      channels_.push_back({Ch(slot, demo::kMI + k - 1), ZL_TYPE_DOUBLE, {}});
  }
  for (const QqRead &q : kQq) channels_.push_back({q.Channel, ZL_TYPE_DOUBLE, {}});
  // Never read: it may only ever show its first value. Station 2's variable
  // 2600 has its address, so an answer decoded against the wrong request
  // frame would land here.
  channels_.push_back({2500, ZL_TYPE_DOUBLE, {}});
  for (Checked &c : channels_) {
    c.Current = Read(c);
    c.Allowed.insert(c.Current);
  }
}

double LineWorkload::Read(const Checked &c) {
  return c.Type == ZL_TYPE_BOOL ? s_.Bool(c.Channel) : s_.D(c.Channel);
}

void LineWorkload::Allow(uint16_t channel, double value) {
  for (Checked &c : channels_) {
    if (c.Channel != channel) continue;
    c.Allowed.insert(value);
    c.Current = value;
  }
}

void LineWorkload::SetPhase(int p) {
  for (int slot = 1; slot <= 2; ++slot) {
    sim::ControllerModel &m = *s_.Sim().Station(slot);
    for (int k = 1; k <= kInputs[slot]; ++k) {
      m.SetBinaryInput(k - 1, (k * (p + 1) + slot) % 3 == 0);
      Allow(Ch(slot, demo::kBI + k - 1), (m.BinaryInput(k - 1) != Inverted(slot, k)) ? 1 : 0);
    }
    for (int k = 1; k <= kAnalog[slot]; ++k) {
      const auto address = static_cast<uint16_t>(kAnalogAddress[slot] + 3 * (k - 1));
      m.SetMemory(address, EncodeReal3(10.0 * p + 1.5 * k + slot).str());
      Allow(Ch(slot, demo::kAI + k - 1), Real3At(m, address));
    }
  }
  sim::ControllerModel &kotelna = *s_.Sim().Station(1);
  for (int k = 1; k <= 4; ++k) {
    const auto address = static_cast<uint16_t>(0x100 + 3 * (k - 1));
    kotelna.SetMemory(address, EncodeReal3(-1.25 * p - k).str());
    Allow(Ch(1, demo::kMI + k - 1), Real3At(kotelna, address));
  }
  sim::ControllerModel &vymenik = *s_.Sim().Station(2);
  const unsigned word = 1000u + 17u * static_cast<unsigned>(p);
  vymenik.SetMemory(0x110,
                    std::string{static_cast<char>(word & 0xFF), static_cast<char>(word >> 8)});
  vymenik.SetMemory(0x112, std::string(1, static_cast<char>(p + 3)));
  vymenik.SetMemory(0x113, EncodeReal3(0.5 * p + 0.25).str());
  const std::string wordBytes = vymenik.Memory(0x110, 2);
  Allow(Ch(2, demo::kMI), static_cast<uint8_t>(wordBytes[0]) | static_cast<uint8_t>(wordBytes[1])
                                                                   << 8);
  Allow(Ch(2, demo::kMI + 1), static_cast<uint8_t>(vymenik.Memory(0x112, 1)[0]));
  Allow(Ch(2, demo::kMI + 2), Real3At(vymenik, 0x113));
  for (const QqRead &q : kQq) {
    sim::ControllerModel &m = *s_.Sim().Station(q.Slot);
    const uint32_t v =
        50u + 1000u * static_cast<unsigned>(q.Slot) + 7u * static_cast<unsigned>(p) + q.A[2];
    m.SetQqBytes(q.A[0], q.A[1], q.A[2],
                 {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                  static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)});
    // WORD and CARDINAL variables keep their value as a single-precision real.
    Allow(q.Channel, static_cast<float>(Le32(m.QqBytes(q.A[0], q.A[1], q.A[2]))));
  }
}

bool LineWorkload::KeepConnected() {
  if (s_.D(demo::kClientConnected) == 1.0) return true;
  return s_.Connect(1) && s_.Connect(2);
}

bool LineWorkload::Round() {
  for (int slot = 1; slot <= 2; ++slot) {
    s_.Command(Ch(slot, demo::kReadBI));
    s_.Command(Ch(slot, demo::kReadAI));
    s_.Command(Ch(slot, demo::kReadKI));
  }
  for (const QqRead &q : kQq) InputRequest(s_.Handle(), q.Channel);
  const int k = static_cast<int>(rounds_ % 4);
  lastOutputs_[k] = static_cast<uint8_t>(1 - rounds_ / 4 % 2);  // 1 first: the driver holds 0
  s_.Put(Ch(1, demo::kBO + k), ZL_TYPE_BOOL, lastOutputs_[k]);
  ++rounds_;
  const uint64_t connections = Connections(), late = Late();
  const bool settled = s_.Settle();
  // Every read of the round was answered on one connection that is still up,
  // and no answer came late: each variable shows exactly what its own
  // controller holds now. Otherwise (reads lost with a connection, or a late
  // answer taken for a retry's) it may still show a value it held before,
  // but never another variable's.
  const bool exact = settled && s_.D(demo::kClientConnected) == 1.0 &&
                     Connections() == connections && late == 0 && Late() == 0;
  for (const Checked &c : channels_) {
    const double v = Read(c);
    ++checked_;
    const bool good = exact ? v == c.Current : c.Allowed.count(v) != 0;
    if (!good && wrong_.size() < 1000) {
      wrong_.push_back("channel " + std::to_string(c.Channel) + ": " + std::to_string(v) +
                       (exact ? " instead of " + std::to_string(c.Current) : ""));
    }
  }
  return settled;
}

uint64_t LineWorkload::Connections() {
  uint64_t n = 0;
  for (const sim::LineStats &l : s_.Sim().LineStatistics()) n += l.Connections;
  return n;
}

uint64_t LineWorkload::Late() {
  uint64_t n = 0;
  for (int k = 1; k <= s_.Sim().StationCount(); ++k) n += s_.Sim().Stats(k).Late;
  return n;
}

bool LineWorkload::OutputsReached() {
  sim::ControllerModel &m = *s_.Sim().Station(1);
  for (int k = 0; k < 4; ++k)
    if (m.BinaryOutput(k) != (lastOutputs_[k] != 0)) return false;
  return true;
}

std::vector<std::string> LineWorkload::Stale() {
  std::vector<std::string> stale;
  for (const Checked &c : channels_) {
    const double v = Read(c);
    if (v != c.Current)
      stale.push_back("channel " + std::to_string(c.Channel) + ": " + std::to_string(v) +
                      " instead of " + std::to_string(c.Current));
  }
  return stale;
}

double LineWorkload::StationSum(int offset) {
  double sum = 0;
  for (int slot = 1; slot <= 3; ++slot) sum += s_.D(Ch(slot, offset));
  return sum;
}

}  // namespace zl::test
