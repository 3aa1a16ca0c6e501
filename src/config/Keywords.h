// The two keyword tables of the parameter file. Entry 0 is the section header,
// the keywords are numbered from 1 and the last one is END; the order decides
// which missing keyword a failed section reports first.
#ifndef ZL_CONFIG_KEYWORDS_H
#define ZL_CONFIG_KEYWORDS_H

#include <string_view>

namespace zl {

// [GLOBAL] keyword numbers.
enum GlobalKeyword : int {
  kGPrefix = 1,
  kGSuffix,
  kGPreSuffix,
  kGAddress,
  kGAnswerTime,
  kGSilenceWait,
  kGRtsTimeOn,
  kGRtsTimeOff,
  kGDefAnalogInAddr,
  kGNumTolvinError,
  kGSleepTime,
  kGSleepCount,
  kGIdleTime,
  kGStopSelfReading,
  kGCucPath,
  kGStayInQueueOnTimeout,
  kGEnd,  // 17
};

// [STATION] keyword numbers.
enum StationKeyword : int {
  kSAddress = 1,
  kSRetranslation,
  kSName,
  kSNumBinarIn,
  kSNumBinarOut,
  kSNumAnalogIn,
  kSNumCounterIn,
  kSNumMemoryIn,
  kSNumMemoryOut,
  kSBinarInXor,
  kSBinarOutXor,
  kSDefAnalogInAddr,
  kSDefMemoryIn,
  kSDefMemoryOut,
  kSDefCounterIn,
  kSAnalogLimits,
  kSPhone,
  kSQq,
  kSOriginalChannels,
  kSChannelBI,  // 20..25: the group channels, in GroupChannel order
  kSChannelMO = kSChannelBI + 5,
  kSFirstStatus,  // 26..52: the status channels, in StatusChannel order
  kSLastStatus = kSFirstStatus + 26,
  kSMemoryBlock,  // 53
  kSMsgCounter,
  kSNameChannel,
  kSCallCode,
  kSIp,
  kSPort,
  kSEnd,  // 59
};

constexpr int kGlobalKeywordCount = kGEnd;
constexpr int kStationKeywordCount = kSEnd;

struct KeywordTable {
  const std::string_view *Entries;  // [0] the header, [1..Count] the keywords
  int Count;

  std::string_view Header() const { return Entries[0]; }
  std::string_view Name(int number) const {
    return number >= 0 && number <= Count ? Entries[number] : std::string_view();
  }
  // The number of the first keyword equal to item, ignoring ASCII case; 0 when none.
  int Find(std::string_view item) const;
};

const KeywordTable &GlobalKeywords();
const KeywordTable &StationKeywords();

}  // namespace zl

#endif  // ZL_CONFIG_KEYWORDS_H
