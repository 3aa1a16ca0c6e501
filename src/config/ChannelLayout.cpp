#include "config/ChannelLayout.h"

#include <vector>

namespace zl {

namespace {

// One test of a station's channel map: channels Base .. Base + Count - 1
// (computed without wrapping, so a count of 0 claims nothing and a range
// ending past 65535 claims only what lies below it).
struct ChannelTest {
  ChannelKind Kind;
  uint16_t Base;
  int Count;
  uint32_t Position;  // the memory block's place in the station's list
};

// Calls fn for every test of the station, in the order the map tests them,
// until fn answers true; answers whether it did.
template <class Fn>
bool ForEachTest(const StationConfig &st, Fn &&fn) {
  using K = ChannelKind;
  auto status = [&st](K kind, StatusChannel which, int count = 1) {
    return ChannelTest{kind, st.StatusChannels[which], count, 0};
  };
  const ChannelTest fixed[] = {
      {K::BinaryInput, st.GroupChannels[kGroupBI], st.NumBinarIn, 0},
      {K::BinaryOutput, st.GroupChannels[kGroupBO], st.NumBinarOut, 0},
      {K::AnalogInput, st.GroupChannels[kGroupAI], st.NumAnalogIn, 0},
      {K::Counter, st.GroupChannels[kGroupCT], st.NumCounterIn, 0},
      {K::MemoryOutput, st.GroupChannels[kGroupMO], st.NumMemoryOut, 0},
      {K::MemoryInput, st.GroupChannels[kGroupMI], st.NumMemoryIn, 0},
      status(K::ErrorCounter, kErrorNoAnswer),
      {K::MessageCounter, st.MsgCounterChannel, 1, 0},
      status(K::ErrorInMessage, kErrorInMess),
      status(K::SilenceTime, kSilenceTime),
      status(K::SleepTime, kSleepTime),
      status(K::ErrCount, kErrCount),
      status(K::VideoText, kVideo, 4),
      status(K::ReadAnalogKelmar, kOutReadAItolvin),
      status(K::ReadCounters, kOutReadCT),
      status(K::WriteBinaryOutputs, kOutWriteBO),
      status(K::WriteMemoryOutput, kOutWriteMO),
      status(K::FlagBusy, kInNowComm),
      status(K::FlagFault, kInLastComErr),
      status(K::FlagNewBinaryInputs, kBiNewBI),
      status(K::FlagNewAnalogInputs, kBiNewAI),
      status(K::FlagNewCounters, kBiNewCT),
      status(K::FlagNewMemory, kBiNewMI),
      status(K::FlagControlError, kBiNewErrControl),
      status(K::WriteRestart, kOutWriteRestart),
      status(K::ReadBinaryInputs, kOutReadBI),
      status(K::ReadMemoryInputs, kOutReadKI),
      status(K::WriteMemoryOutputs, kOutWriteKO),
      status(K::ReadAnalogZavro, kOutReadAI),
      status(K::ConnectModem, kOutConnectModem),
      status(K::FlagConnecting, kInConnectingModem),
      status(K::FlagConnected, kInConnectedModem),
      status(K::FlagActiveMessage, kInActiveMessage),
      status(K::WriteAllOutputs, kOutWriteAllBOMO),
      {K::StationName, st.NameChannel, 1, 0},
      {K::CallCode, st.CallCodeChannel, 1, 0},
  };
  for (const ChannelTest &t : fixed)
    if (fn(t)) return true;
  for (std::size_t b = 0; b < st.MemoryBlocks.size(); ++b) {
    const MemoryBlock &block = st.MemoryBlocks[b];
    const auto position = static_cast<uint32_t>(b);
    if (fn(ChannelTest{K::MemoryBlockRead, block.ReadChannel, 1, position})) return true;
    if (fn(ChannelTest{K::MemoryBlockItem, block.FirstChannel, static_cast<int>(block.ItemCount()),
                       position}))
      return true;
  }
  return false;
}

}  // namespace

StationView ViewOf(const ParameterSet &set) {
  return StationView{set.StationCount(), &set, [](const void *source, int n) {
                       return static_cast<const ParameterSet *>(source)->At(n);
                     }};
}

VariableMatch FindVariable(const StationView &stations, uint16_t channel) {
  for (int n = 1; n <= stations.Count; ++n) {
    const StationConfig *st = stations.At(n);
    if (!st) continue;
    for (std::size_t i = 0; i < st->QqVariables.size(); ++i)
      if (st->QqVariables[i].Channel == channel)
        return {static_cast<uint8_t>(n), static_cast<uint32_t>(i)};
  }
  return {};
}

StationMatch ResolveStationChannel(const StationView &stations, uint16_t channel) {
  for (int n = 1; n <= stations.Count; ++n) {
    const StationConfig *st = stations.At(n);
    if (!st) continue;
    StationMatch m;
    bool found = ForEachTest(*st, [&](const ChannelTest &t) {
      const int offset = int{channel} - int{t.Base};
      if (offset < 0 || offset >= t.Count) return false;
      m.StationNo = static_cast<uint8_t>(n);
      m.Kind = t.Kind;
      m.Item = static_cast<uint8_t>(offset + 1);
      m.Position = t.Position;
      return true;
    });
    if (found) return m;
  }
  return {};
}

std::shared_ptr<const ChannelIndex> BuildChannelIndex(const StationView &stations) {
  auto index = std::make_shared<ChannelIndex>();
  ChannelEntry *entries = index->Entries;

  // The first match wins: paint the stations and their tests in reverse
  // order, so that an earlier test overwrites what a later one claimed.
  std::vector<ChannelTest> tests;
  for (int n = stations.Count; n >= 1; --n) {
    const StationConfig *st = stations.At(n);
    if (!st) continue;
    tests.clear();
    ForEachTest(*st, [&tests](const ChannelTest &t) {
      tests.push_back(t);
      return false;
    });
    for (auto t = tests.rbegin(); t != tests.rend(); ++t) {
      for (int k = 0; k < t->Count && int{t->Base} + k <= 0xFFFF; ++k) {
        entries[t->Base + k] = ChannelEntry{ChannelEntry::kStation, static_cast<uint8_t>(n),
                                            t->Kind, static_cast<uint8_t>(k + 1), t->Position};
      }
    }
  }

  // Variables come before every station channel, the first in station and
  // list order winning among themselves.
  for (int n = stations.Count; n >= 1; --n) {
    const StationConfig *st = stations.At(n);
    if (!st) continue;
    for (std::size_t i = st->QqVariables.size(); i-- > 0;) {
      entries[st->QqVariables[i].Channel] =
          ChannelEntry{ChannelEntry::kVariable, static_cast<uint8_t>(n), ChannelKind::None, 0,
                       static_cast<uint32_t>(i)};
    }
  }
  return index;
}

}  // namespace zl
