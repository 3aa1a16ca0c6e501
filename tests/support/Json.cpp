#include "support/Json.h"

#include <nlohmann/json.hpp>

namespace zl::test {
namespace {

const JsonValue kNull;

// The parsed document as the tests walk it; members keep their text order.
JsonValue Convert(const nlohmann::ordered_json &j) {
  JsonValue out;
  switch (j.type()) {
    case nlohmann::ordered_json::value_t::boolean:
      out.type = JsonValue::Bool;
      out.boolean = j.get<bool>();
      break;
    case nlohmann::ordered_json::value_t::number_integer:
    case nlohmann::ordered_json::value_t::number_unsigned:
    case nlohmann::ordered_json::value_t::number_float:
      out.type = JsonValue::Number;
      out.number = j.get<double>();
      break;
    case nlohmann::ordered_json::value_t::string:
      out.type = JsonValue::String;
      out.string = j.get<std::string>();
      break;
    case nlohmann::ordered_json::value_t::array:
      out.type = JsonValue::Array;
      for (const auto &element : j) out.array.push_back(Convert(element));
      break;
    case nlohmann::ordered_json::value_t::object:
      out.type = JsonValue::Object;
      for (const auto &[key, value] : j.items()) out.object.emplace_back(key, Convert(value));
      break;
    default:
      break;
  }
  return out;
}

}  // namespace

const JsonValue &JsonValue::operator[](std::string_view key) const {
  for (const auto &[k, v] : object) {
    if (k == key) return v;
  }
  return kNull;
}

const JsonValue &JsonValue::operator[](std::size_t i) const {
  return i < array.size() ? array[i] : kNull;
}

bool JsonValue::Has(std::string_view key) const {
  for (const auto &member : object) {
    if (member.first == key) return true;
  }
  return false;
}

bool ParseJson(std::string_view text, JsonValue &out) {
  const auto doc = nlohmann::ordered_json::parse(text, nullptr, false);
  if (doc.is_discarded()) return false;
  out = Convert(doc);
  return true;
}

}  // namespace zl::test
