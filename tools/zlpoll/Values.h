// Values as zlpoll shows and takes them: ValueType names, a HostValue read
// back into a number or a text, and the texts of tables and JSON.
#ifndef ZL_ZLPOLL_VALUES_H
#define ZL_ZLPOLL_VALUES_H

#include <cstdint>
#include <string>
#include <string_view>

#include "zlnetdrv.h"
#include "zlpoll/Output.h"

namespace zl::tools {
class DriverSession;
}  // namespace zl::tools

namespace zl::poll {

using tools::DriverSession;

// "bool", "u8" ... "double", "text", "buffer" <-> the ValueType codes 2..12.
bool TypeFromName(std::string_view name, uint32_t &type);
const char *TypeName(uint32_t type);

// One value read from the driver.
struct Value {
  uint32_t Type = ZL_TYPE_DOUBLE;
  double Number = 0;  // every type but text and buffer
  std::string Text;   // text (UTF-8), buffer (its descriptor in words)
};

// Whether an answer brought a value: a value the driver holds before any
// answer is its reset, not the controller's, and is not shown; one from an
// answer before the station stopped answering is shown marked.
enum class Freshness : uint8_t {
  Never,  // no answer has brought it since the program started: "-", null
  Fresh,  // brought by the answer of this reading
  Stale,  // the last one an answer brought; the station does not answer now
};

// GetInput of a channel in a type; a text channel goes through a buffer of
// the host's own.
Value ReadValue(const DriverSession &driver, uint16_t channel, uint32_t type);

// For people: 0/1, whole numbers, up to six significant digits, texts as they are.
std::string ShowValue(const Value &v);
// For scripts: true/false, numbers as JsonNumber gives them, texts as strings.
Json JsonValue(const Value &v);
// As a cell: "-" for a value never brought, a stale one followed by kStaleMark.
constexpr const char *kStaleMark = "*";
std::string ShowValue(const Value &v, Freshness f);
// null for a value never brought.
Json JsonValue(const Value &v, Freshness f);

// A value given on the command line for a write in a type: the 8 value bytes
// of OutputRequest. False (with a message) when the text does not fit the type
// or the type cannot be written.
bool EncodeValue(const std::string &text, uint32_t type, uint64_t &bytes, std::string &error);

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_VALUES_H
