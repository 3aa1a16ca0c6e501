#include "common/ValueTypes.h"

#include <cstring>

namespace zl::tools {

namespace {

constexpr ValueTypeInfo kTypes[] = {
    {"bool", ZL_TYPE_BOOL, 0, 1},
    {"u8", ZL_TYPE_U8, 0, 255},
    {"u16", ZL_TYPE_U16, 0, 65535},
    {"u32", ZL_TYPE_U32, 0, 4294967295LL},
    {"i8", ZL_TYPE_I8, -128, 127},
    {"i16", ZL_TYPE_I16, -32768, 32767},
    {"i32", ZL_TYPE_I32, -2147483648LL, 2147483647LL},
    {"single", ZL_TYPE_SINGLE, 0, 0},
    {"double", ZL_TYPE_DOUBLE, 0, 0},
    {"text", ZL_TYPE_TEXT, 0, 0},
    {"buffer", ZL_TYPE_BUFFER, 0, 0},
};

template <class T>
T Load(const HostValue &v) {
  T x;
  std::memcpy(&x, v.value, sizeof x);
  return x;
}

}  // namespace

const ValueTypeInfo *ValueTypeNamed(std::string_view name) {
  for (const ValueTypeInfo &t : kTypes)
    if (name == t.Name) return &t;
  return nullptr;
}

const ValueTypeInfo *ValueTypeOf(uint32_t type) {
  for (const ValueTypeInfo &t : kTypes)
    if (t.Type == type) return &t;
  return nullptr;
}

bool IsWholeType(uint32_t type) {
  return type >= ZL_TYPE_BOOL && type <= ZL_TYPE_I32;
}

double NumberIn(const HostValue &v) {
  switch (v.type) {
    case ZL_TYPE_BOOL:
    case ZL_TYPE_U8:
      return v.value[0];
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
      return 0.0;
  }
}

uint64_t WidthMask(uint32_t type) {
  switch (type) {
    case ZL_TYPE_BOOL:
    case ZL_TYPE_U8:
    case ZL_TYPE_I8:
      return 0xFF;
    case ZL_TYPE_U16:
    case ZL_TYPE_I16:
      return 0xFFFF;
    case ZL_TYPE_DOUBLE:
      return ~uint64_t{0};
    default:
      return 0xFFFFFFFF;
  }
}

}  // namespace zl::tools
