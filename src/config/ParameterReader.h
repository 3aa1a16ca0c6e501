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
#include "util/Texts.h"

namespace zl {

// Where a station's channels were set, for the check of the channels: the
// place of the last use of each keyword, and of each QQ variable and memory
// block kept.
struct StationPlaces {
  FilePlace Header;
  FilePlace Keyword[kStationKeywordCount + 1];
  std::vector<FilePlace> Qq, Blocks;
};

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

  // --- for a check of the file (LoadContext::FindingSink); the load itself
  // does not look at them.
  // The keyword whose value is being read, and where it stands.
  std::string_view Keyword;
  FilePlace KeywordPlace;
  // The last message a loader left (what SetError was given).
  std::string LoaderMessage;
  // Per keyword of the section: where its value was last refused, and the
  // loader's message then (empty for a value that is no number or text).
  FilePlace RefusedAt[kStationKeywordCount + 1];
  std::string RefusedWhy[kStationKeywordCount + 1];
  std::vector<StationPlaces> Places;  // one per station read

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
  void SetError(std::string_view text) {
    Ctx.SetError(text);
    LoaderMessage = text;
  }
  // The place of the current item.
  FilePlace Here() { return items_.PlaceOf(items_.ItemOffset()); }
  // A finding of the check at the current item: the driver takes the file
  // otherwise than written.
  bool WantsFindings() const { return Ctx.WantsFindings(); }
  void Note(TextId id, std::initializer_list<std::string_view> parts) {
    if (Ctx.WantsFindings()) Ctx.Find(Here(), false, Say(id, parts));
  }
  // The place where the file (or the current item) ends; a bare LF's place.
  FilePlace PlaceOf(std::size_t offset) { return items_.PlaceOf(offset); }
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
    if (WantsFindings()) NoteText(text, N, field.view());
    return text.has_value();
  }
  // Notes a text rejected, empty where the file gives one, or cut to length.
  void NoteText(const std::optional<std::string> &text, std::size_t length,
                std::string_view stored);

  // Notes a number that its field changes: not a number (stored is what the
  // field holds then), or one outside lo..hi.
  void NoteNumber(const std::optional<int32_t> &value, int64_t lo, int64_t hi,
                  const std::string &stored);

  // The 16-bit value of the current item (FROM_GLOBAL resolved), not yet cut.
  std::optional<int32_t> Value16() const;
  // The current item as a real, kInvalidReal when it does not convert.
  double RealValue();

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

// For a check of the file: a finding for every channel that an object claims
// after another one has claimed it (the driver serves the first).
void CheckChannels(ParameterReader &r);

}  // namespace zl

#endif  // ZL_CONFIG_PARAMETERREADER_H
