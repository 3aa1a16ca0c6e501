// The check of a loaded file's channels: every host channel that two objects
// claim, found in the order in which the driver resolves a channel (QQ
// variables first, then each station's channels in its test order), so that
// the one reported is the one the driver never serves.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "config/ParameterReader.h"
#include "util/Texts.h"

namespace zl {
namespace {

// A run of channels one object holds, and where the file set it.
struct Claim {
  int Station = 0;
  std::string What;  // the keyword that set it
  uint32_t First = 0;
  uint32_t Count = 0;
  FilePlace At;
};

// The place of whichever of the keywords came last: ORIGINAL_CHANNELS sets
// every channel, a channel keyword after it one of them.
FilePlace LastOf(const StationPlaces &p, int keyword) {
  const FilePlace own = p.Keyword[keyword], all = p.Keyword[kSOriginalChannels];
  if (own.Line == 0 && all.Line == 0) return p.Header;
  return own < all ? all : own;
}

std::string Range(uint32_t first, uint32_t last) {
  return first == last ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(last);
}

void AddStationClaims(const StationConfig &st, const StationPlaces &p, int n,
                      std::vector<Claim> &out) {
  const KeywordTable &table = StationKeywords();
  auto single = [&](int keyword, uint16_t channel, uint32_t count = 1) {
    if (channel != 0)
      out.push_back({n, std::string(table.Name(keyword)), channel, count, LastOf(p, keyword)});
  };
  // The groups in the order they are tested: an overlap of MO and MI is an
  // output. A group with objects claims its channels even from channel 0.
  const struct {
    int Group;
    uint8_t Count;
  } groups[] = {{kGroupBI, st.NumBinarIn},   {kGroupBO, st.NumBinarOut},
                {kGroupAI, st.NumAnalogIn},  {kGroupCT, st.NumCounterIn},
                {kGroupMO, st.NumMemoryOut}, {kGroupMI, st.NumMemoryIn}};
  for (const auto &g : groups) {
    const int keyword = kSChannelBI + g.Group;
    if (g.Count != 0)
      out.push_back({n, std::string(table.Name(keyword)), st.GroupChannels[g.Group], g.Count,
                     LastOf(p, keyword)});
  }
  const auto status = [&](int s, uint32_t count = 1) {
    single(kSFirstStatus + s, st.StatusChannels[s], count);
  };
  status(kErrorNoAnswer);
  single(kSMsgCounter, st.MsgCounterChannel);
  for (int s : {kErrorInMess, kSilenceTime, kSleepTime, kErrCount}) status(s);
  status(kVideo, 4);  // the four text lines
  for (int s = kOutReadAItolvin; s < kStatusChannelCount; ++s) status(s);
  single(kSNameChannel, st.NameChannel);
  single(kSCallCode, st.CallCodeChannel);
  for (std::size_t b = 0; b < st.MemoryBlocks.size(); ++b) {
    const MemoryBlock &block = st.MemoryBlocks[b];
    const FilePlace at = b < p.Blocks.size() ? p.Blocks[b] : p.Header;
    out.push_back({n, "MEMORY_BLOCK CHANNEL_READ", block.ReadChannel, 1, at});
    out.push_back({n, "MEMORY_BLOCK CHANNEL", block.FirstChannel,
                   static_cast<uint32_t>(block.ItemCount()), at});
  }
}

}  // namespace

void CheckChannels(ParameterReader &r) {
  const std::vector<StationConfig> &stations = r.Set.Stations;
  std::vector<Claim> claims;
  for (std::size_t i = 0; i < stations.size() && i < r.Places.size(); ++i) {
    const std::vector<FilePlace> &at = r.Places[i].Qq;
    for (std::size_t q = 0; q < stations[i].QqVariables.size(); ++q) {
      const uint16_t channel = stations[i].QqVariables[q].Channel;
      if (channel != 0)
        claims.push_back({static_cast<int>(i + 1), "QQ", channel, 1,
                          q < at.size() ? at[q] : r.Places[i].Header});
    }
  }
  for (std::size_t i = 0; i < stations.size() && i < r.Places.size(); ++i)
    AddStationClaims(stations[i], r.Places[i], static_cast<int>(i + 1), claims);

  std::vector<int> owner(65536, -1);
  for (std::size_t c = 0; c < claims.size(); ++c) {
    const Claim &claim = claims[c];
    std::map<int, std::pair<uint32_t, uint32_t>> taken;  // owner -> first, last channel
    const uint32_t end = std::min<uint32_t>(claim.First + claim.Count, 65536);
    for (uint32_t ch = claim.First; ch < end; ++ch) {
      const int o = owner[ch];
      if (o < 0) {
        owner[ch] = static_cast<int>(c);
        continue;
      }
      auto [it, fresh] = taken.try_emplace(o, ch, ch);
      if (!fresh) it->second.second = ch;
    }
    for (const auto &[o, range] : taken) {
      const Claim &first = claims[static_cast<std::size_t>(o)];
      r.Ctx.Find(claim.At, false,
                 Say(TextId::FindChannelTaken,
                     {claim.What, std::to_string(claim.Station), Range(range.first, range.second),
                      first.What, std::to_string(first.Station), std::to_string(first.At.Line)}));
    }
  }
}

}  // namespace zl
