// A small JSON reader for tests that check what the driver or a tool prints.
#ifndef ZL_TESTS_SUPPORT_JSON_H
#define ZL_TESTS_SUPPORT_JSON_H

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zl::test {

struct JsonValue {
  enum Type { Null, Bool, Number, String, Array, Object };
  Type type = Null;
  bool boolean = false;
  double number = 0;
  std::string string;  // UTF-8, escapes resolved
  std::vector<JsonValue> array;
  std::vector<std::pair<std::string, JsonValue>> object;  // in text order

  // The member named key; a null value when this is no object or lacks it.
  const JsonValue &operator[](std::string_view key) const;
  // Element i; a null value when out of range.
  const JsonValue &operator[](std::size_t i) const;
  bool Has(std::string_view key) const;
};

// Parses text (one value, blanks around it allowed). False on any syntax
// error, with out left in an unspecified state.
bool ParseJson(std::string_view text, JsonValue &out);

}  // namespace zl::test

#endif  // ZL_TESTS_SUPPORT_JSON_H
