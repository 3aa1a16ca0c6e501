// The driver's value types as the tools name them ("bool", "u8" .. "double",
// "text", "buffer" for the codes 2..12), their ranges, and the number a value
// record holds.
#ifndef ZL_TOOLS_COMMON_VALUETYPES_H
#define ZL_TOOLS_COMMON_VALUETYPES_H

#include <cstdint>
#include <string_view>

#include "zlnetdrv.h"

namespace zl::tools {

struct ValueTypeInfo {
  const char *Name;
  uint32_t Type;
  long long Low, High;  // the range of an integer type (bool: 0..1); 0, 0 for the others
};

// nullptr for a name or code that is none of them.
const ValueTypeInfo *ValueTypeNamed(std::string_view name);
const ValueTypeInfo *ValueTypeOf(uint32_t type);

// Whether the type is bool or one of the integer types.
bool IsWholeType(uint32_t type);

// The number a value record holds in its type: bool and the integer types
// exactly, single and double as they are; 0 for text, buffer and the rest.
double NumberIn(const HostValue &v);

// The bytes of OutputRequest's 8 value bytes that a type fills: its width.
uint64_t WidthMask(uint32_t type);

}  // namespace zl::tools

#endif  // ZL_TOOLS_COMMON_VALUETYPES_H
