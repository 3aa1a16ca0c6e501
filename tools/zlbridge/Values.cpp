#include "zlbridge/Values.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "common/DriverLib.h"

namespace zl::bridge {

using Json = nlohmann::json;

namespace {

struct TypeInfo {
  const char *Name;
  uint32_t Code;
  double Lo, Hi;  // the range of an integer type; both 0 for the others
};
constexpr TypeInfo kTypes[] = {{"bool", ZL_TYPE_BOOL, 0, 1},
                               {"u8", ZL_TYPE_U8, 0, 255},
                               {"u16", ZL_TYPE_U16, 0, 65535},
                               {"u32", ZL_TYPE_U32, 0, 4294967295.0},
                               {"i8", ZL_TYPE_I8, -128, 127},
                               {"i16", ZL_TYPE_I16, -32768, 32767},
                               {"i32", ZL_TYPE_I32, -2147483648.0, 2147483647.0},
                               {"single", ZL_TYPE_SINGLE, 0, 0},
                               {"double", ZL_TYPE_DOUBLE, 0, 0},
                               {"text", ZL_TYPE_TEXT, 0, 0},
                               {"buffer", ZL_TYPE_BUFFER, 0, 0}};

const TypeInfo *Find(const std::string &name) {
  for (const TypeInfo &t : kTypes)
    if (name == t.Name) return &t;
  return nullptr;
}

template <class T>
T Load(const HostValue &v) {
  T out;
  std::memcpy(&out, v.value, sizeof out);
  return out;
}

}  // namespace

uint32_t TypeCode(const std::string &name) {
  const TypeInfo *t = Find(name);
  return t ? t->Code : 0;
}

Json ReadValue(const tools::DriverSession &driver, uint16_t channel, const std::string &type) {
  const uint32_t code = TypeCode(type);
  if (code == ZL_TYPE_TEXT) return driver.GetText(channel);
  const HostValue v = driver.Get(channel, code);
  switch (code) {
    case ZL_TYPE_BOOL:
      return v.value[0] != 0;
    case ZL_TYPE_U8:
      return Load<uint8_t>(v);
    case ZL_TYPE_U16:
      return Load<uint16_t>(v);
    case ZL_TYPE_U32:
      return Load<uint32_t>(v);
    case ZL_TYPE_I8:
      return Load<int8_t>(v);
    case ZL_TYPE_I16:
      return Load<int16_t>(v);
    case ZL_TYPE_I32:
      return Load<int32_t>(v);
    case ZL_TYPE_SINGLE:
      return Load<float>(v);
    case ZL_TYPE_DOUBLE:
      return Load<double>(v);
    default:
      return nullptr;
  }
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
  const TypeInfo *t = Find(type);
  if (!t || t->Code == ZL_TYPE_TEXT || t->Code == ZL_TYPE_BUFFER) {
    error = "the object is not written with a value";
    return false;
  }
  number = value.is_boolean() ? (value.get<bool>() ? 1.0 : 0.0) : value.get<double>();
  if (!std::isfinite(number)) {
    error = "the value is not a finite number";
    return false;
  }
  if (t->Code == ZL_TYPE_SINGLE || t->Code == ZL_TYPE_DOUBLE) {
    if (value.is_boolean()) {
      error = "the object takes a number, not a boolean";
      return false;
    }
    if (t->Code == ZL_TYPE_SINGLE) {
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
  if (value.is_boolean() && t->Code != ZL_TYPE_BOOL) {
    error = std::string("the object takes a whole number (") + t->Name + "), not a boolean";
    return false;
  }
  if (number != std::trunc(number) || number < t->Lo || number > t->Hi) {
    if (t->Code == ZL_TYPE_BOOL) {
      error = "the object takes 0 or 1 (or false or true)";
    } else {
      char range[96];
      std::snprintf(range, sizeof range, "a whole number from %.0f to %.0f", t->Lo, t->Hi);
      error = std::string("the object takes ") + range;
    }
    return false;
  }
  // Two's complement in the type's width, little-endian in the low bytes.
  const auto whole = static_cast<int64_t>(number);
  bytes = static_cast<uint64_t>(whole);
  switch (t->Code) {
    case ZL_TYPE_BOOL:
    case ZL_TYPE_U8:
    case ZL_TYPE_I8:
      bytes &= 0xFF;
      break;
    case ZL_TYPE_U16:
    case ZL_TYPE_I16:
      bytes &= 0xFFFF;
      break;
    default:
      bytes &= 0xFFFFFFFF;
      break;
  }
  return true;
}

}  // namespace zl::bridge
