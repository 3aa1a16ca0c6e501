#include "config/ParameterReader.h"

#include <algorithm>
#include <cstring>

#include "config/ValueForms.h"
#include "util/Texts.h"

namespace zl {

bool ParameterReader::SetGroupPos(std::string_view header) {
  std::fill(std::begin(Defined), std::end(Defined), false);
  LoadError = false;
  while (Next()) {
    if (EqualsIgnoreAsciiCase(Item(), header)) {
      Debug("SetGroupPos", "ok " + std::string(header));
      return true;
    }
  }
  LoadError = true;
  SetError(Say(TextId::MissingGroup) + std::string(header));
  Debug("SetGroupPos", "ERR! " + Say(TextId::MissingGroup) + std::string(header));
  return false;
}

bool ParameterReader::Whole8(uint8_t &field) {
  std::optional<int32_t> v = ParseWhole(Item());
  field = v ? static_cast<uint8_t>(*v) : 0;
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
  return v.has_value();
}

bool ParameterReader::Whole16(int16_t &field) {
  std::optional<int32_t> v = Value16();
  if (v) field = static_cast<int16_t>(static_cast<uint16_t>(*v));
  return v.has_value();
}

double ParameterReader::RealValue() const {
  return ParseReal(Item()).value_or(kInvalidReal);
}

bool ParameterReader::Real(Real6 &field) {
  std::optional<double> v = ParseReal(Item());
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
