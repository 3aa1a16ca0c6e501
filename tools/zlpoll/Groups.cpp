#include "zlpoll/Groups.h"

#include <algorithm>
#include <bit>

#include "util/Bits.h"
#include "util/Text.h"

namespace zl::poll {

namespace {

struct GroupEntry {
  Group Id;
  const char *Name;
  const char *Title;
  const char *CountKeyword;  // of the fixed groups
  bool Writable;
};

// The one list of groups: info shows it, read, watch and write take its names.
constexpr GroupEntry kGroups[] = {
    {Group::BI, "bi", "binary inputs", "NUM_BINAR_IN", false},
    {Group::BO, "bo", "binary outputs", "NUM_BINAR_OUT", true},
    {Group::AI, "ai", "analog inputs", "NUM_ANALOG_IN", false},
    {Group::AIK, "aik", "analog inputs as raw words", "NUM_ANALOG_IN", false},
    {Group::CT, "ct", "counters", "NUM_COUNTER_IN", false},
    {Group::MO, "mo", "memory outputs", "NUM_MEMORY_OUT", true},
    {Group::MI, "mi", "memory inputs", "NUM_MEMORY_IN", false},
    {Group::MB, "mb", "memory block items", "MEMORY_BLOCK", true},
    {Group::QQ, "qq", "QQ variables", "QQ", true},
};

const GroupEntry &EntryOf(Group g) {
  for (const GroupEntry &e : kGroups)
    if (e.Id == g) return e;
  return kGroups[0];
}

// The status channel keywords in the order of the StatusChannel numbers.
constexpr const char *kStatusKeywords[kStatusChannelCount] = {
    "ErrorNoAnswer",      "ErrorInMess",        "SilenceTime",
    "SleepTime",          "ErrCount",           "Video",
    "out_read_AItolvin",  "out_read_CT",        "out_write_BO",
    "out_write_MO",       "in_now_comm",        "in_last_com_err",
    "bi_new_BI",          "bi_new_AI",          "bi_new_CT",
    "bi_new_MI",          "bi_new_err_control", "out_write_restart",
    "out_read_BI",        "out_read_KI",        "out_write_KO",
    "out_read_AI",        "out_connect_modem",  "in_connecting_modem",
    "in_connected_modem", "in_active_message",  "out_write_all_BO_MO",
};

// QQ variable types 1..7; memory block items use the codes 1..6 alike.
constexpr const char *kItemTypes[] = {"?",        "BYTE",    "WORD", "INTEGER",
                                      "CARDINAL", "LONGINT", "REAL", "STRING"};
constexpr const char *kQqDirections[] = {"?", "READ", "WRITE", "BIDIR"};
constexpr const char *kBlockDirections[] = {"?", "INPUT", "OUTPUT", "BIDIR"};

template <std::size_t N>
const char *NameIn(const char *const (&names)[N], unsigned code) {
  return code < N ? names[code] : names[0];
}

// The ValueType that shows a QQ variable of a type as it is held.
uint32_t QqValueType(uint8_t type) {
  switch (type) {
    case kQqByte:
      return ZL_TYPE_U8;
    case kQqWord:
      return ZL_TYPE_U16;
    case kQqInteger:
      return ZL_TYPE_I16;
    case kQqCardinal:
      return ZL_TYPE_U32;
    case kQqLongint:
      return ZL_TYPE_I32;
    case kQqString:
      return ZL_TYPE_TEXT;
    default:
      return ZL_TYPE_DOUBLE;
  }
}

void AddRange(std::vector<Item> &out, Group g, uint16_t base, int count, uint32_t type) {
  for (int n = 1; n <= count; ++n) {
    Item item;
    item.Of = g;
    item.Label = std::to_string(n);
    item.Channel = static_cast<uint16_t>(base + n - 1);
    item.Type = type;
    out.push_back(item);
  }
}

// The objects of count that a mask of whole groups of eight covers; binary:
// a mask of 0 (below eight, or above 64) carries all twelve groups.
int MaskReach(int count, bool binary) {
  const uint8_t mask = binary && count > 64 ? 0 : GroupMask(static_cast<unsigned>(count));
  if (mask == 0) return binary ? count : 0;
  return std::min(count, 8 * std::popcount(mask));
}

bool Readable(const QqVariable &v) {
  return v.Direction == kQqRead || v.Direction == kQqBidir;
}

}  // namespace

const char *ItemTypeName(uint8_t type) {
  return NameIn(kItemTypes, type);
}
const char *QqDirectionName(uint8_t direction) {
  return NameIn(kQqDirections, direction);
}
const char *BlockDirectionName(uint8_t direction) {
  return NameIn(kBlockDirections, direction);
}

std::string QqAddressText(const QqVariable &v) {
  return std::to_string(v.Address[0]) + "." + std::to_string(v.Address[1]) + "." +
         std::to_string(v.Address[2]);
}

const char *GroupName(Group g) {
  return EntryOf(g).Name;
}

const char *GroupTitle(Group g) {
  return EntryOf(g).Title;
}

bool Writable(Group g) {
  return EntryOf(g).Writable;
}

bool GroupNamed(const std::string &name, Group &g) {
  if (EqualsIgnoreAsciiCase(name, "ki")) {
    g = Group::MO;
    return true;
  }
  for (const GroupEntry &e : kGroups) {
    if (!EqualsIgnoreAsciiCase(name, e.Name)) continue;
    g = e.Id;
    return true;
  }
  return false;
}

std::vector<Group> AllGroups() {
  std::vector<Group> out;
  for (const GroupEntry &e : kGroups) out.push_back(e.Id);
  return out;
}

std::string GroupList(bool writableOnly) {
  std::string out;
  for (const GroupEntry &e : kGroups)
    if (e.Writable || !writableOnly) out += (out.empty() ? "" : " ") + std::string(e.Name);
  return out;
}

int ConfiguredCount(const StationConfig &st, Group g) {
  switch (g) {
    case Group::BI:
      return st.NumBinarIn;
    case Group::BO:
      return st.NumBinarOut;
    case Group::AI:
    case Group::AIK:
      return st.NumAnalogIn;
    case Group::CT:
      return st.NumCounterIn;
    case Group::MO:
      return st.NumMemoryOut;
    case Group::MI:
      return st.NumMemoryIn;
    case Group::MB: {
      std::size_t n = 0;
      for (const MemoryBlock &b : st.MemoryBlocks) n += b.ItemCount();
      return static_cast<int>(n);
    }
    case Group::QQ:
      return static_cast<int>(st.QqVariables.size());
  }
  return 0;
}

const char *StatusKeyword(StatusChannel which) {
  return which >= 0 && which < kStatusChannelCount ? kStatusKeywords[which] : "?";
}

std::string Describe(const StationConfig &st, int n) {
  return "station " + std::to_string(n) + " (" + Utf8FromCp1250(st.Name.view()) + ")";
}

std::string Gateway(const StationConfig &st) {
  return Utf8FromCp1250(st.Ip.view()) + ":" + std::to_string(st.Port);
}

uint16_t StatusChannelOf(const StationConfig &st, int n, StatusChannel which, std::string &error) {
  const uint16_t channel = st.StatusChannels[which];
  if (channel == 0) {
    error = Describe(st, n) + " has no " + StatusKeyword(which) +
            " channel: add ORIGINAL_CHANNELS or " + StatusKeyword(which) +
            " to its [STATION] section";
  }
  return channel;
}

std::vector<Item> ItemsOf(const StationConfig &st, Group g) {
  std::vector<Item> out;
  switch (g) {
    case Group::BI:
    case Group::BO:
      AddRange(out, g, st.GroupChannels[g == Group::BI ? kGroupBI : kGroupBO], Reach(st, g),
               ZL_TYPE_BOOL);
      break;
    case Group::AI:
      AddRange(out, g, st.GroupChannels[kGroupAI], st.NumAnalogIn, ZL_TYPE_DOUBLE);
      break;
    case Group::AIK:
      AddRange(out, g, st.GroupChannels[kGroupAI], Reach(st, g), ZL_TYPE_DOUBLE);
      break;
    case Group::CT:
      AddRange(out, g, st.GroupChannels[kGroupCT], Reach(st, g), ZL_TYPE_DOUBLE);
      break;
    case Group::MO:  // a "K" answer carries memory outputs 1..8
      AddRange(out, g, st.GroupChannels[kGroupMO], std::min<int>(st.NumMemoryOut, 8),
               ZL_TYPE_DOUBLE);
      break;
    case Group::MI:
      AddRange(out, g, st.GroupChannels[kGroupMI], st.NumMemoryIn, ZL_TYPE_DOUBLE);
      break;
    case Group::MB:
      for (std::size_t b = 0; b < st.MemoryBlocks.size(); ++b) {
        const MemoryBlock &block = st.MemoryBlocks[b];
        for (std::size_t k = 0; k < block.ItemCount(); ++k) {
          Item item;
          item.Of = g;
          item.Label = std::to_string(b + 1) + "." + std::to_string(k + 1);
          item.Channel = static_cast<uint16_t>(block.FirstChannel + k);
          const uint8_t type = block.ItemTypes[k];
          item.Type = ValueTypeOfBlockItem(type);
          item.Kind = std::string(NameIn(kItemTypes, type)) + " " +
                      NameIn(kBlockDirections, block.ItemDirections[k]);
          out.push_back(item);
        }
      }
      break;
    case Group::QQ:
      for (const QqVariable &v : st.QqVariables) {
        if (!Readable(v)) continue;
        Item item;
        item.Of = g;
        item.Label = QqAddressText(v);
        item.Channel = v.Channel;
        item.Type = QqValueType(v.Type);
        item.Kind =
            std::string(NameIn(kItemTypes, v.Type)) + " " + NameIn(kQqDirections, v.Direction);
        out.push_back(item);
      }
      break;
  }
  return out;
}

int Reach(const StationConfig &st, Group g) {
  switch (g) {
    case Group::BI:
      return MaskReach(st.NumBinarIn, true);
    case Group::BO:
      return MaskReach(st.NumBinarOut, true);
    case Group::AIK:
      return MaskReach(st.NumAnalogIn, false);
    case Group::CT:
      return MaskReach(st.NumCounterIn, false);
    default:
      return static_cast<int>(ItemsOf(st, g).size());
  }
}

ReadPlan PlanOf(const StationConfig &st, Group g) {
  ReadPlan plan;
  const uint16_t *s = st.StatusChannels;
  switch (g) {
    case Group::BI:
      plan.Commands = {s[kOutReadBI]};
      plan.Flag = s[kBiNewBI];
      break;
    case Group::BO:
      break;
    case Group::MO:
      if (st.DialFlag) {
        plan.Commands = {s[kOutReadKI]};
        plan.Flag = s[kBiNewMI];
      }
      break;
    case Group::AI:
      plan.Commands = {s[kOutReadAI]};
      plan.Flag = s[kBiNewAI];
      break;
    case Group::AIK:
      plan.Commands = {s[kOutReadAItolvin]};
      plan.Flag = s[kBiNewAI];
      break;
    case Group::CT:  // a counter answer raises no flag (only a reset confirmation does)
      plan.Commands = {s[kOutReadCT]};
      break;
    case Group::MI:
      plan.Commands = {s[kOutReadKI]};
      plan.Flag = s[kBiNewMI];
      break;
    case Group::MB:
      for (const MemoryBlock &block : st.MemoryBlocks) plan.Commands.push_back(block.ReadChannel);
      break;
    case Group::QQ:
      for (const QqVariable &v : st.QqVariables)
        if (Readable(v)) plan.Requests.push_back(v.Channel);
      break;
  }
  return plan;
}

ReadLimit LimitOf(const StationConfig &st, int n, Group g) {
  const GroupEntry &e = EntryOf(g);
  const int count = ConfiguredCount(st, g);
  const std::string title = e.Title;
  if (g == Group::MI && st.DialFlag) {
    return {true,
            "it dials (PHONE D...): its out_read_KI reads memory outputs 1-8 instead of "
            "the memory inputs; use mo"};
  }
  if (count == 0) return {true, "it has no " + title + " (" + e.CountKeyword + ")"};
  switch (g) {
    case Group::BO:
      return {true,
              "binary outputs are not read back: the driver holds only what this zlpoll "
              "writes (write " +
                  std::to_string(n) + " bo N=0|1 ...)"};
    case Group::MO:
      if (!st.DialFlag) {
        return {true,
                "memory outputs of a station that does not dial are not read back (its "
                "out_read_KI reads the memory inputs): write " +
                    std::to_string(n) + " mo N=VALUE ... writes them"};
      }
      break;
    case Group::CT:
      if (st.Phone.empty()) {
        return {true,
                "counts never settled: the driver turns the counts it reads into counter "
                "values only for a station with a PHONE number; these stay at their "
                "start values"};
      }
      break;
    case Group::QQ:
      if (ItemsOf(st, g).empty()) return {true, "none of its QQ variables is READ or BIDIR"};
      break;
    default:
      break;
  }
  for (uint16_t c : PlanOf(st, g).Commands) {
    if (c != 0) continue;
    return {true,
            "it has no channel to trigger the read: add ORIGINAL_CHANNELS or the command "
            "channel (zlpoll FILE info lists them)"};
  }
  // Binary inputs, raw analog readings and counters are read in whole groups
  // of eight; a dialling station's "K" carries memory outputs 1-8.
  const bool eights = g == Group::BI || g == Group::AIK || g == Group::CT;
  const int reach = eights || g == Group::MO ? Reach(st, g) : count;
  const std::string counted = "its " + std::to_string(count) + " (" + e.CountKeyword + ")";
  if (reach == 0) return {true, "read in whole groups of eight: " + counted + " are never read"};
  if (reach < count) {
    const std::string rest = std::to_string(reach + 1) + "-" + std::to_string(count);
    if (!eights) return {false, "memory outputs " + rest + " are never read: \"K\" carries 1-8"};
    return {false, title + " " + rest + " of " + counted +
                       " are never read: the driver reads whole groups of eight"};
  }
  if (g == Group::MI && st.MemoryInBlockRead) {
    // ARRAY: one read of 3-byte reals from entry 1's address on.
    std::string apart;
    for (int i = 1; i <= count; ++i) {
      const MemoryItemDef &m = st.MemoryIn[i];
      if (m.Address != static_cast<uint16_t>(st.MemoryIn[1].Address + 3 * (i - 1)) ||
          m.Type != kMemReal)
        apart += " " + std::to_string(i);
    }
    if (!apart.empty()) {
      return {false,
              "ARRAY reads the memory inputs as 3-byte reals one after another from "
              "entry 1's address: entries" +
                  apart + " are not read as the file puts them"};
    }
  }
  return {};
}

bool SelectGroups(const StationConfig &st, int n, const std::vector<std::string> &names,
                  std::vector<Group> &out, std::string &error) {
  out.clear();
  auto add = [&](Group g) {
    if (std::find(out.begin(), out.end(), g) == out.end()) out.push_back(g);
  };
  if (names.empty()) {
    error = "name the groups to read: " + GroupList() + ", or all";
    return false;
  }
  for (const std::string &name : names) {
    if (EqualsIgnoreAsciiCase(name, "all")) {
      for (const GroupEntry &e : kGroups)
        if (e.Id != Group::AIK && !LimitOf(st, n, e.Id).Unreadable) add(e.Id);
      continue;
    }
    Group g;
    if (!GroupNamed(name, g)) {
      error = "unknown group \"" + name + "\": use " + GroupList() + ", or all";
      return false;
    }
    const ReadLimit limit = LimitOf(st, n, g);
    if (limit.Unreadable) {
      error =
          std::string(GroupName(g)) + " of " + Describe(st, n) + " cannot be read: " + limit.Why;
      return false;
    }
    add(g);
  }
  return true;
}

}  // namespace zl::poll
