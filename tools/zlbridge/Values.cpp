#include "zlbridge/Values.h"

#include <bit>
#include <cmath>
#include <limits>

#include "common/DriverLib.h"
#include "common/ValueTypes.h"

namespace zl::bridge {

using Json = nlohmann::json;

uint32_t TypeCode(const std::string &name) {
  const tools::ValueTypeInfo *t = tools::ValueTypeNamed(name);
  return t ? t->Type : 0;
}

Json ReadValue(const tools::DriverSession &driver, uint16_t channel, const std::string &type) {
  const uint32_t code = TypeCode(type);
  if (code == ZL_TYPE_TEXT) return driver.GetText(channel);
  const HostValue v = driver.Get(channel, code);
  if (code == ZL_TYPE_BOOL) return v.value[0] != 0;
  if (tools::IsWholeType(code)) return static_cast<int64_t>(tools::NumberIn(v));
  if (code == ZL_TYPE_SINGLE || code == ZL_TYPE_DOUBLE) return tools::NumberIn(v);
  return nullptr;
}

bool ParsePayload(const std::string &payload, SetRequest &out, std::string &error) {
  Json j = Json::parse(payload, nullptr, false);
  if (j.is_discarded()) {
    error = "the payload is not a JSON value: give a number, true or false, or {\"value\": ...}";
    return false;
  }
  if (j.is_object()) {
    if (j.contains("id")) out.Id = j["id"];
    if (!j.contains("value")) {
      error = "the payload's object has no \"value\"";
      return false;
    }
    out.Value = j["value"];
  } else {
    out.Value = j;
  }
  if (!out.Value.is_number() && !out.Value.is_boolean()) {
    error = "the value is " + std::string(out.Value.type_name()) + ", not a number or a boolean";
    return false;
  }
  return true;
}

bool EncodeValue(const Json &value, const std::string &type, uint64_t &bytes, double &number,
                 std::string &error) {
  const tools::ValueTypeInfo *t = tools::ValueTypeNamed(type);
  if (!t ||
      !(tools::IsWholeType(t->Type) || t->Type == ZL_TYPE_SINGLE || t->Type == ZL_TYPE_DOUBLE)) {
    error = "the object is not written with a value";
    return false;
  }
  number = value.is_boolean() ? (value.get<bool>() ? 1.0 : 0.0) : value.get<double>();
  if (!std::isfinite(number)) {
    error = "the value is not a finite number";
    return false;
  }
  if (t->Type == ZL_TYPE_SINGLE || t->Type == ZL_TYPE_DOUBLE) {
    if (value.is_boolean()) {
      error = "the object takes a number, not a boolean";
      return false;
    }
    if (t->Type == ZL_TYPE_SINGLE) {
      if (std::fabs(number) > std::numeric_limits<float>::max()) {
        error = "the value does not fit a single-precision number";
        return false;
      }
      bytes = std::bit_cast<uint32_t>(static_cast<float>(number));
    } else {
      bytes = std::bit_cast<uint64_t>(number);
    }
    return true;
  }
  if (value.is_boolean() && t->Type != ZL_TYPE_BOOL) {
    error = std::string("the object takes a whole number (") + t->Name + "), not a boolean";
    return false;
  }
  if (number != std::trunc(number) || number < static_cast<double>(t->Low) ||
      number > static_cast<double>(t->High)) {
    if (t->Type == ZL_TYPE_BOOL) {
      error = "the object takes 0 or 1 (or false or true)";
    } else {
      error = "the object takes a whole number from " + std::to_string(t->Low) + " to " +
              std::to_string(t->High);
    }
    return false;
  }
  // Two's complement in the type's width, little-endian in the low bytes.
  bytes = static_cast<uint64_t>(static_cast<int64_t>(number)) & tools::WidthMask(t->Type);
  return true;
}

}  // namespace zl::bridge
