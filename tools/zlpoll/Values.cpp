#include "zlpoll/Values.h"

#include <bit>
#include <cstdio>
#include <cstring>

#include "common/ValueTypes.h"
#include "zlpoll/DriverLib.h"
#include "zlpoll/Options.h"

namespace zl::poll {

bool TypeFromName(std::string_view name, uint32_t &type) {
  if (name == "float") name = "single";
  const tools::ValueTypeInfo *t = tools::ValueTypeNamed(name);
  if (t) type = t->Type;
  return t != nullptr;
}

const char *TypeName(uint32_t type) {
  const tools::ValueTypeInfo *t = tools::ValueTypeOf(type);
  return t ? t->Name : "?";
}

Value ReadValue(const DriverSession &driver, uint16_t channel, uint32_t type) {
  Value out;
  out.Type = type;
  if (type == ZL_TYPE_TEXT) {
    out.Text = driver.GetText(channel);
    return out;
  }
  const HostValue v = driver.Get(channel, type);
  out.Number = tools::NumberIn(v);
  if (type == ZL_TYPE_BUFFER) {
    uint16_t words;
    uint32_t address;
    std::memcpy(&words, v.value + 1, 2);
    std::memcpy(&address, v.value + 3, 4);
    char text[48];
    std::snprintf(text, sizeof text, "%u %u 0x%08X", v.value[0], words, address);
    out.Text = text;
  }
  return out;
}

std::string ShowValue(const Value &v) {
  if (v.Type == ZL_TYPE_TEXT || v.Type == ZL_TYPE_BUFFER) {
    return v.Text.substr(0, v.Text.find_last_not_of(' ') + 1);  // blank-padded texts
  }
  char text[64];
  if (v.Type == ZL_TYPE_SINGLE || v.Type == ZL_TYPE_DOUBLE) {
    std::snprintf(text, sizeof text, "%.6g", v.Number);
  } else {
    std::snprintf(text, sizeof text, "%.0f", v.Number);
  }
  return text;
}

Json JsonValue(const Value &v) {
  if (v.Type == ZL_TYPE_TEXT || v.Type == ZL_TYPE_BUFFER) return v.Text;
  if (v.Type == ZL_TYPE_BOOL) return v.Number != 0;
  return JsonNumber(v.Number);
}

std::string ShowValue(const Value &v, Freshness f) {
  if (f == Freshness::Never) return "-";
  return ShowValue(v) + (f == Freshness::Stale ? kStaleMark : "");
}

Json JsonValue(const Value &v, Freshness f) {
  return f == Freshness::Never ? Json(nullptr) : JsonValue(v);
}

bool EncodeValue(const std::string &text, uint32_t type, uint64_t &bytes, std::string &error) {
  const tools::ValueTypeInfo *e = tools::ValueTypeOf(type);
  if (!e || type == ZL_TYPE_TEXT || type == ZL_TYPE_BUFFER) {
    error = std::string("a value of type ") + TypeName(type) +
            " cannot be written; give bool, u8 .. i32, single or double";
    return false;
  }
  if (type == ZL_TYPE_SINGLE || type == ZL_TYPE_DOUBLE) {
    double d = 0;
    if (!ParseNumber(text, d)) {
      error = "\"" + text + "\" is not a number";
      return false;
    }
    bytes = type == ZL_TYPE_DOUBLE ? std::bit_cast<uint64_t>(d)
                                   : std::bit_cast<uint32_t>(static_cast<float>(d));
    return true;
  }
  long long n = 0;
  if (type == ZL_TYPE_BOOL && (text == "true" || text == "on")) {
    n = 1;
  } else if (type == ZL_TYPE_BOOL && (text == "false" || text == "off")) {
    n = 0;
  } else if (!ParseInt(text, e->Low, e->High, n)) {
    error = "\"" + text + "\" is not a whole number from " + std::to_string(e->Low) + " to " +
            std::to_string(e->High) + " (type " + e->Name + ")";
    return false;
  }
  // Two's complement in the type's width; the driver reads only those bytes.
  bytes = static_cast<uint64_t>(n) & tools::WidthMask(type);
  return true;
}

}  // namespace zl::poll
