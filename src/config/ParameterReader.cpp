#include "config/ParameterReader.h"

#include <algorithm>
#include <cstring>

#include "config/ValueForms.h"
#include "util/Texts.h"

namespace zl {

bool ParameterReader::SetGroupPos(std::string_view header) {
  std::fill(std::begin(Defined), std::end(Defined), false);
  LoadError = false;
  bool skipping = false;
  while (Next()) {
    if (EqualsIgnoreAsciiCase(Item(), header)) {
      Debug("SetGroupPos", "ok " + std::string(header));
      return true;
    }
    if (!skipping) Note(TextId::FindOutsideSection, {Raw(), header});
    skipping = true;
  }
  LoadError = true;
  SetError(Say(TextId::MissingGroup) + std::string(header));
  Debug("SetGroupPos", "ERR! " + Say(TextId::MissingGroup) + std::string(header));
  return false;
}

void ParameterReader::NoteNumber(const std::optional<int32_t> &value, int64_t lo, int64_t hi,
                                 const std::string &stored) {
  if (!WantsFindings()) return;
  if (!value) {
    Note(TextId::FindNotANumber, {Keyword, Raw(), stored});
  } else if (*value < lo || *value > hi) {
    Note(TextId::FindNumberCut, {Keyword, Raw(), stored});
  }
}

void ParameterReader::NoteText(const std::optional<std::string> &text, std::size_t length,
                               std::string_view stored) {
  if (!text) {
    Note(TextId::FindTextRejected, {Keyword});
  } else if (text->size() > length) {
    Note(TextId::FindTextCut, {Keyword, std::to_string(length), stored});
  } else if (text->empty() && !ItemIs("NONE")) {
    Note(TextId::FindTextEmpty, {Keyword});
  }
}

bool ParameterReader::Whole8(uint8_t &field) {
  std::optional<int32_t> v = ParseWhole(Item());
  field = v ? static_cast<uint8_t>(*v) : 0;
  NoteNumber(v, 0, 255, std::to_string(field));
  return v.has_value();
}

std::optional<int32_t> ParameterReader::Value16() const {
  if (ItemIs("FROM_GLOBAL")) {
    if (Set.Global.DefAnalogInAddr == -1) return std::nullopt;
    return Set.Global.DefAnalogInAddr;
  }
  return ParseWhole(Item());
}

bool ParameterReader::Whole16(uint16_t &field) {
  std::optional<int32_t> v = Value16();
  if (v) field = static_cast<uint16_t>(*v);
  NoteNumber(v, 0, 65535, std::to_string(field));
  return v.has_value();
}

// A signed field takes its 16 bits either way: 65535 is as good as -1.
bool ParameterReader::Whole16(int16_t &field) {
  std::optional<int32_t> v = Value16();
  if (v) field = static_cast<int16_t>(static_cast<uint16_t>(*v));
  NoteNumber(v, -32768, 65535, std::to_string(field));
  return v.has_value();
}

double ParameterReader::RealValue() {
  std::optional<double> v = ParseReal(Item());
  if (!v) Note(TextId::FindNotANumber, {Keyword, Raw(), "-999999.9"});
  return v.value_or(kInvalidReal);
}

bool ParameterReader::Real(Real6 &field) {
  std::optional<double> v = ParseReal(Item());
  if (!v) Note(TextId::FindNotANumber, {Keyword, Raw(), "-999999.9"});
  field = ToReal6(v.value_or(kInvalidReal));
  return v.has_value();
}

std::optional<std::string> ParameterReader::LoadString() {
  if (ItemIs("NONE")) return std::string();
  std::string joined(Item());
  joined += RestOfLine();
  Debug("LoadString", joined);
  return DecodeText(joined);
}

}  // namespace zl
