#include "config/Keywords.h"

#include "util/Text.h"

namespace zl {
namespace {

constexpr std::string_view kGlobal[kGlobalKeywordCount + 1] = {
    "[GLOBAL]",
    "PREFIX",
    "SUFFIX",
    "PRESUFFIX",
    "ADDRESS",
    "ANSWER_TIME",
    "SILENCE_WAIT",
    "RTS_TIME_ON",
    "RTS_TIME_OFF",
    "DEF_ANALOG_IN_ADDR",
    "NUM_TOLVIN_ERROR",
    "SLEEP_TIME",
    "SLEEP_COUNT",
    "IDLE_TIME",
    "STOP_SELF_READING",
    "CUC_PATH",
    "STAY_IN_QUEUE_ON_TIMEOUT",
    "END",
};

constexpr std::string_view kStation[kStationKeywordCount + 1] = {
    "[STATION]",
    "ADDRESS",
    "RETRANSLATION",
    "NAME",
    "NUM_BINAR_IN",
    "NUM_BINAR_OUT",
    "NUM_ANALOG_IN",
    "NUM_COUNTER_IN",
    "NUM_MEMORY_IN",
    "NUM_MEMORY_OUT",
    "BINAR_IN_XOR",
    "BINAR_OUT_XOR",
    "DEF_ANALOG_IN_ADDR",
    "DEF_MEMORY_IN",
    "DEF_MEMORY_OUT",
    "DEF_COUNTER_IN",
    "ANALOG_LIMITS",
    "PHONE",
    "QQ",
    "ORIGINAL_CHANNELS",
    "CHANNEL_BI",
    "CHANNEL_BO",
    "CHANNEL_AI",
    "CHANNEL_CT",
    "CHANNEL_MI",
    "CHANNEL_MO",
    "ErrorNoAnswer",
    "ErrorInMess",
    "SilenceTime",
    "SleepTime",
    "ErrCount",
    "Video",
    "out_read_AItolvin",
    "out_read_CT",
    "out_write_BO",
    "out_write_MO",
    "in_now_comm",
    "in_last_com_err",
    "bi_new_BI",
    "bi_new_AI",
    "bi_new_CT",
    "bi_new_MI",
    "bi_new_err_control",
    "out_write_restart",
    "out_read_BI",
    "out_read_KI",
    "out_write_KO",
    "out_read_AI",
    "out_connect_modem",
    "in_connecting_modem",
    "in_connected_modem",
    "in_active_message",
    "out_write_all_BO_MO",
    "MEMORY_BLOCK",
    "MsgCounter",
    "name_channel",
    "CallCode",
    "IP",
    "PORT",
    "END",
};

static_assert(kSChannelMO == 25 && kSFirstStatus == 26 && kSLastStatus == 52 &&
              kSMemoryBlock == 53 && kSEnd == 59 && kGEnd == 17);

}  // namespace

int KeywordTable::Find(std::string_view item) const {
  for (int k = 1; k <= Count; ++k)
    if (EqualsIgnoreAsciiCase(item, Entries[k])) return k;
  return 0;
}

const KeywordTable &GlobalKeywords() {
  static const KeywordTable table{kGlobal, kGlobalKeywordCount};
  return table;
}

const KeywordTable &StationKeywords() {
  static const KeywordTable table{kStation, kStationKeywordCount};
  return table;
}

}  // namespace zl
