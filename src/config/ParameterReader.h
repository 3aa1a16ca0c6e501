// The state of one parameter file load and the value forms the section loaders
// share. Used only inside src/config while LoadParameterFile runs.
#ifndef ZL_CONFIG_PARAMETERREADER_H
#define ZL_CONFIG_PARAMETERREADER_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/ItemReader.h"
#include "config/Keywords.h"
#include "config/ParameterSet.h"

namespace zl {

class ParameterReader {
 public:
  ParameterReader(LoadContext &ctx, ParameterSet &set, std::string_view text)
      : Ctx(ctx), Set(set), items_(ctx, text) {}

  LoadContext &Ctx;
  ParameterSet &Set;
  // One defined-flag per keyword of the section being read (1..59).
  bool Defined[kStationKeywordCount + 1] = {};
  // Set by a failed section search, a missing END, a missing definition or
  // the station limit.
  bool LoadError = false;

  bool Next() { return items_.Next(); }
  bool AtEnd() const { return items_.AtEnd(); }
  std::string RestOfLine() { return items_.RestOfLine(); }
  std::string_view Item() const { return Ctx.CurrentItem.view(); }
  std::string_view Raw() const { return Ctx.RawItem.view(); }
  // CurrentItem equals word (given in upper case): a case-ignoring match.
  bool ItemIs(std::string_view word) const { return Item() == word; }

  // SetGroupPos: clears the definition flags and the load error flag, then
  // delivers items until one equals header (case ignored). False, with the
  // error set, when the file ends first.
  bool SetGroupPos(std::string_view header);
  // ErrorText := text cut to 80 bytes, NUL-terminated.
  void SetError(std::string_view text) { Ctx.SetError(text); }
  void Event(std::string_view line) { Ctx.Event(line); }
  void Debug(std::string_view label, std::string_view text) { Ctx.Debug(label, text); }

  // --- value forms over CurrentItem; each answers whether the value was accepted
  // 8 bits: the low 8 bits; a failure stores 0.
  bool Whole8(uint8_t &field);
  // 16 bits (or FROM_GLOBAL): the low 16 bits; a failure keeps the field.
  bool Whole16(uint16_t &field);
  bool Whole16(int16_t &field);
  // A real; a failure stores kInvalidReal.
  bool Real(Real6 &field);
  // LoadString: NONE is the empty text; otherwise CurrentItem joined with the
  // rest of the line and decoded. Nothing when the text is rejected.
  std::optional<std::string> LoadString();
  template <std::size_t N>
  bool Text(ShortStr<N> &field) {
    std::optional<std::string> text = LoadString();
    if (text) field = *text;
    return text.has_value();
  }

  // The 16-bit value of the current item (FROM_GLOBAL resolved), not yet cut.
  std::optional<int32_t> Value16() const;
  // The current item as a real, kInvalidReal when it does not convert.
  double RealValue() const;

 private:
  ItemReader items_;
};

// Section loaders (one keyword each; the value item has been delivered).
void ApplyGlobalKeyword(ParameterReader &r, int keyword);
void ApplyStationKeyword(ParameterReader &r, StationConfig &st, int slot, int keyword);

// Lists in a [STATION] section; each answers whether its keyword is defined.
bool LoadMemoryOutCfg(ParameterReader &r, MemoryItemDef *list, bool *blockRead);
bool LoadQq(ParameterReader &r, StationConfig &st);
bool LoadMemoryBlock(ParameterReader &r, StationConfig &st);

}  // namespace zl

#endif  // ZL_CONFIG_PARAMETERREADER_H
