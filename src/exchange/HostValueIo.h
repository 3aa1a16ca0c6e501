// Reading and writing the host's value record: the 8 value bytes of a
// HostValue (GetInput) and the 8-byte value argument of OutputRequest, both
// little-endian. A write touches only the bytes of its width.
#ifndef ZL_EXCHANGE_HOSTVALUEIO_H
#define ZL_EXCHANGE_HOSTVALUEIO_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "config/StationConfig.h"
#include "zlnetdrv.h"

namespace zl {

static_assert(std::endian::native == std::endian::little,
              "the host's value bytes are little-endian, as this machine's");

// The ValueType codes the driver serves.
enum ValueType : uint32_t {
  kTypeBool = ZL_TYPE_BOOL,
  kTypeU8 = ZL_TYPE_U8,
  kTypeU16 = ZL_TYPE_U16,
  kTypeU32 = ZL_TYPE_U32,
  kTypeI8 = ZL_TYPE_I8,
  kTypeI16 = ZL_TYPE_I16,
  kTypeI32 = ZL_TYPE_I32,
  kTypeSingle = ZL_TYPE_SINGLE,
  kTypeDouble = ZL_TYPE_DOUBLE,
  kTypeText = ZL_TYPE_TEXT,
  kTypeBuffer = ZL_TYPE_BUFFER,
};

// What a driver channel's handler made of a host call: No, not a driver
// channel; Yes, served, the call ends; GoOn, served, and the station channel
// of the same number follows.
enum class Served { No, Yes, GoOn };

// Writes x into the first sizeof(T) value bytes.
template <class T>
inline void PutValue(HostValue &v, T x) {
  static_assert(std::is_trivially_copyable_v<T> && sizeof(T) <= sizeof v.value);
  std::memcpy(v.value, &x, sizeof x);
}

// The host's text buffer: the pointer-sized number at the start of the value
// bytes; null when the host gave none.
inline void *TextAddress(const HostValue &v) {
  uintptr_t address = 0;
  std::memcpy(&address, v.value, sizeof address);
  return reinterpret_cast<void *>(address);
}

// Copies count bytes to the host's text buffer, when there is one.
inline void PutText(const HostValue &v, const void *bytes, std::size_t count) {
  if (void *to = TextAddress(v)) std::memcpy(to, bytes, count);
}

// The value argument of OutputRequest, read in the width of a type.
inline uint8_t ArgByte(uint64_t value) {
  return static_cast<uint8_t>(value);
}
inline uint16_t ArgWord(uint64_t value) {
  return static_cast<uint16_t>(value);
}
inline uint32_t ArgLong(uint64_t value) {
  return static_cast<uint32_t>(value);
}
inline double ArgDouble(uint64_t value) {
  return std::bit_cast<double>(value);
}

}  // namespace zl

#endif  // ZL_EXCHANGE_HOSTVALUEIO_H
