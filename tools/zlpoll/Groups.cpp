#include "zlpoll/Groups.h"

#include <algorithm>
#include <bit>

#include "exchange/HostValueIo.h"
#include "port/Text.h"
#include "protocol/RequestFrames.h"

namespace zl::poll {

namespace {

struct GroupEntry {
  Group Id;
  const char *Name;
};

constexpr GroupEntry kGroups[] = {
    {Group::BI, "bi"}, {Group::BO, "bo"}, {Group::AI, "ai"}, {Group::AIK, "aik"}, {Group::CT, "ct"},
    {Group::MI, "mi"}, {Group::KI, "ki"}, {Group::MB, "mb"}, {Group::QQ, "qq"},
};

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
      return kTypeU8;
    case kQqWord:
      return kTypeU16;
    case kQqInteger:
      return kTypeI16;
    case kQqCardinal:
      return kTypeU32;
    case kQqLongint:
      return kTypeI32;
    case kQqString:
      return kTypeText;
    default:
      return kTypeDouble;
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
  for (const GroupEntry &e : kGroups)
    if (e.Id == g) return e.Name;
  return "?";
}

const char *StatusKeyword(StatusChannel which) {
  return which >= 0 && which < kStatusChannelCount ? kStatusKeywords[which] : "?";
}

std::string Describe(const Station &st, int n) {
  return "station " + std::to_string(n) + " (" + Utf8FromCp1250(st.Name.view()) + ")";
}

std::string Gateway(const Station &st) {
  return Utf8FromCp1250(st.Ip.view()) + ":" + std::to_string(st.Port);
}

uint16_t StatusChannelOf(const Station &st, int n, StatusChannel which, std::string &error) {
  const uint16_t channel = st.StatusChannels[which];
  if (channel == 0) {
    error = Describe(st, n) + " has no " + StatusKeyword(which) +
            " channel: add ORIGINAL_CHANNELS or " + StatusKeyword(which) +
            " to its [STATION] section";
  }
  return channel;
}

std::vector<Item> ItemsOf(const Station &st, Group g) {
  std::vector<Item> out;
  switch (g) {
    case Group::BI:
      AddRange(out, g, st.GroupChannels[kGroupBI], st.NumBinarIn, kTypeBool);
      break;
    case Group::BO:
      AddRange(out, g, st.GroupChannels[kGroupBO], st.NumBinarOut, kTypeBool);
      break;
    case Group::AI:
    case Group::AIK:
      AddRange(out, g, st.GroupChannels[kGroupAI], st.NumAnalogIn, kTypeDouble);
      break;
    case Group::CT:
      AddRange(out, g, st.GroupChannels[kGroupCT], st.NumCounterIn, kTypeDouble);
      break;
    case Group::MI:
      AddRange(out, g, st.GroupChannels[kGroupMI], st.NumMemoryIn, kTypeDouble);
      break;
    case Group::KI:  // a "K" answer carries memory outputs 1..8
      AddRange(out, g, st.GroupChannels[kGroupMO], std::min<int>(st.NumMemoryOut, 8), kTypeDouble);
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

int Reach(const Station &st, Group g) {
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

ReadPlan PlanOf(const Station &st, Group g) {
  ReadPlan plan;
  const uint16_t *s = st.StatusChannels;
  switch (g) {
    case Group::BI:
      plan.Commands = {s[kOutReadBI]};
      plan.Flag = s[kBiNewBI];
      break;
    case Group::BO:
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
    case Group::KI:
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

bool SelectGroups(const Station &st, int n, const std::vector<std::string> &names,
                  std::vector<Group> &out, std::string &error) {
  out.clear();
  auto add = [&](Group g) {
    if (std::find(out.begin(), out.end(), g) == out.end()) out.push_back(g);
  };
  if (names.empty()) {
    error = "name the groups to read: bi bo ai aik ct mi ki mb qq, or all";
    return false;
  }
  for (const std::string &name : names) {
    if (EqualsIgnoreAsciiCase(name, "all")) {
      if (st.NumBinarIn) add(Group::BI);
      if (st.NumBinarOut) add(Group::BO);
      if (st.NumAnalogIn) add(Group::AI);
      if (st.NumCounterIn) add(Group::CT);
      if (!st.DialFlag && st.NumMemoryIn) add(Group::MI);
      if (st.DialFlag && st.NumMemoryOut) add(Group::KI);
      if (!st.MemoryBlocks.empty()) add(Group::MB);
      if (!ItemsOf(st, Group::QQ).empty()) add(Group::QQ);
      continue;
    }
    const GroupEntry *found = nullptr;
    for (const GroupEntry &e : kGroups)
      if (EqualsIgnoreAsciiCase(name, e.Name)) found = &e;
    if (!found) {
      error = "unknown group \"" + name + "\": use bi bo ai aik ct mi ki mb qq, or all";
      return false;
    }
    if (found->Id == Group::MI && st.DialFlag) {
      error = Describe(st, n) + " dials (PHONE D...): its out_read_KI reads memory outputs; use ki";
      return false;
    }
    if (found->Id == Group::KI && !st.DialFlag) {
      error = Describe(st, n) + " does not dial: its out_read_KI reads memory inputs; use mi";
      return false;
    }
    add(found->Id);
  }
  // Every channel the reads need must be in the file.
  for (Group g : out) {
    const ReadPlan plan = PlanOf(st, g);
    for (uint16_t c : plan.Commands) {
      if (c != 0) continue;
      error = Describe(st, n) + " has no channel to trigger the " + GroupName(g) +
              " read: add ORIGINAL_CHANNELS or its command channel (zlpoll FILE info lists them)";
      return false;
    }
  }
  return true;
}

}  // namespace zl::poll
