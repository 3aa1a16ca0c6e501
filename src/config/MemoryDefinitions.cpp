// Controller memory in a [STATION] section: the memory input and output
// lists, QQ variables and memory blocks.
#include <algorithm>
#include <string>

#include "config/ParameterReader.h"
#include "util/Texts.h"

namespace zl {
namespace {

constexpr std::string_view kMemoryTypes[] = {"BYTE", "WORD", "REAL"};  // codes 1..3
constexpr std::string_view kQqDirections[] = {"READ", "WRITE", "BIDIR"};
constexpr std::string_view kQqTypes[] = {"BYTE",    "WORD", "INTEGER", "CARDINAL",
                                         "LONGINT", "REAL", "STRING"};
// Inside a TYPES list the names are compared as written: upper case only.
constexpr std::string_view kBlockTypes[] = {"BYTE",     "WORD",    "INTEGER",
                                            "CARDINAL", "LONGINT", "REAL"};
constexpr std::string_view kBlockDirections[] = {"INPUT", "OUTPUT", "BIDIR"};

// The 1-based position of word in names, 0 when it is not there.
template <std::size_t N>
uint8_t Code(const std::string_view (&names)[N], std::string_view word) {
  auto it = std::find(std::begin(names), std::end(names), word);
  return it == std::end(names) ? 0 : static_cast<uint8_t>(it - std::begin(names) + 1);
}

// TYPES ... TYPES_END: pairs of type and direction. False at a bad pair.
bool LoadBlockTypes(ParameterReader &r, MemoryBlock &block) {
  for (;;) {
    r.Next();
    if (r.Raw() == "TYPES_END" || r.AtEnd()) return true;
    uint8_t type = Code(kBlockTypes, r.Raw());
    r.Next();
    uint8_t direction = Code(kBlockDirections, r.Raw());
    // A block holds at most 255 items and 255 bytes (its size is one byte
    // of the read request): one more could be neither kept nor read, so it
    // makes the block bad rather than vanish unseen.
    if (!type || !direction || block.ItemTypes.full()) return false;
    if (block.Size + BlockItemSize(type) > 255) return false;
    block.ItemTypes.push_back(type);
    block.ItemDirections.push_back(direction);
    block.Size = static_cast<uint8_t>(block.Size + BlockItemSize(type));
  }
}

}  // namespace

// DEF_MEMORY_IN / DEF_MEMORY_OUT: NONE, or rows "entry address [type]" and
// ARRAY up to DEF_MEMORY_END. The entry number keeps its low 8 bits, as every
// 8-bit field does (257 reads as 1). An entry outside 1..100, or an address
// that is not a 16-bit number, makes the list bad (the reading goes on to its
// end).
bool LoadMemoryOutCfg(ParameterReader &r, MemoryItemDef *list, bool *blockRead) {
  r.Debug("LoadMemoryOutCfg", r.Item());
  if (blockRead) *blockRead = false;
  for (int n = 0; n <= kMemoryListSize; ++n) list[n] = MemoryItemDef();
  bool good = true;
  if (!r.ItemIs("NONE")) {
    while (!r.ItemIs("DEF_MEMORY_END") && !r.AtEnd()) {
      if (r.ItemIs("ARRAY")) {
        if (blockRead) *blockRead = true;
        r.Debug("LoadMem", "\"ARRAY\" found - Blocked read enabled");
        r.Next();
        continue;
      }
      uint8_t entry = 0;
      r.Whole8(entry);
      r.Next();
      uint16_t address = 0;
      bool stored = r.Whole16(address) && entry >= 1 && entry <= kMemoryListSize;
      if (stored) {
        list[entry].Address = address;
      } else {
        good = false;
      }
      r.Next();
      if (uint8_t type = stored ? Code(kMemoryTypes, r.Item()) : 0) {
        list[entry].Type = type;
        r.Next();
      }
    }
  }
  if (good) {
    r.Debug("LoadMem", "OK=true");
  } else {
    r.SetError(Say(TextId::BadMemoryList));
    r.Debug("LoadMem", "OK=false !!!");
  }
  return good;
}

// QQ direction channel a1 a2 a3 type. A channel that does not convert is
// stored as 0, a channel no request uses; an address value as 0.
bool LoadQq(ParameterReader &r, StationConfig &st) {
  QqVariable v;
  v.Direction = Code(kQqDirections, r.Item());
  if (!v.Direction) {
    r.SetError(Say(TextId::BadQqDirection));
    return false;
  }
  r.Next();
  if (!r.Whole16(v.Channel)) v.Channel = 0;
  for (uint8_t &a : v.Address) {
    r.Next();
    r.Whole8(a);
  }
  r.Next();
  v.Type = Code(kQqTypes, r.Item());
  if (!v.Type) {
    r.SetError(Say(TextId::BadQqType));
    return false;
  }
  st.QqVariables.push_back(v);
  return true;
}

// MEMORY_BLOCK ... MEMORY_BLOCK_END with ADDR, CHANNEL, CHANNEL_READ and a
// TYPES list in any order; anything else inside is skipped.
bool LoadMemoryBlock(ParameterReader &r, StationConfig &st) {
  MemoryBlock block;
  bool bad = false;
  while (!r.ItemIs("MEMORY_BLOCK_END") && !r.AtEnd()) {
    if (r.ItemIs("ADDR")) {
      r.Next();
      r.Whole16(block.Address);
    } else if (r.ItemIs("CHANNEL")) {
      r.Next();
      r.Whole16(block.FirstChannel);
    } else if (r.ItemIs("CHANNEL_READ")) {
      r.Next();
      r.Whole16(block.ReadChannel);
    } else if (r.ItemIs("TYPES")) {
      bad = !LoadBlockTypes(r, block);
      if (bad) break;
    }
    r.Next();
  }
  bool accepted = !bad && r.ItemIs("MEMORY_BLOCK_END") && block.Address != -1 &&
                  block.ReadChannel != 0 && block.FirstChannel != 0 && block.Size > 0;
  if (!accepted) {
    r.SetError(Say(TextId::BadMemoryBlock));
    return false;
  }
  st.MemoryBlocks.push_back(std::move(block));
  return true;
}

}  // namespace zl
