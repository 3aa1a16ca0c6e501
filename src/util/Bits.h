// Bit helpers on 8- and 16-bit words.
#ifndef ZL_UTIL_BITS_H
#define ZL_UTIL_BITS_H

#include <cstdint>

namespace zl {

// Bits are numbered from 0 at the least significant; a bit number outside the
// width tests false and changes nothing.
inline bool TestBit(uint8_t value, int bit) {
  return bit >= 0 && bit < 8 && ((value >> bit) & 1u) != 0;
}
inline bool TestBit(uint16_t value, int bit) {
  return bit >= 0 && bit < 16 && ((value >> bit) & 1u) != 0;
}
inline uint8_t SetBit(uint8_t value, int bit) {
  return bit >= 0 && bit < 8 ? static_cast<uint8_t>(value | (1u << bit)) : value;
}
inline uint16_t ClearBit(uint16_t value, int bit) {
  return bit >= 0 && bit < 16 ? static_cast<uint16_t>(value & ~(1u << bit)) : value;
}
// 2^n kept in 8 or 16 bits (0 once n reaches the width).
inline uint8_t PowerOfTwo8(int n) {
  return n >= 0 && n < 8 ? static_cast<uint8_t>(1u << n) : 0;
}
inline uint16_t PowerOfTwo16(int n) {
  return n >= 0 && n < 16 ? static_cast<uint16_t>(1u << n) : 0;
}

// The mask byte of a group command for count objects: bit g asks for objects
// 8g .. 8g+7; 2^(count div 8) - 1 computed in 8 bits, so 0 below 8 and 255
// from 64 on.
inline uint8_t GroupMask(unsigned count) {
  return static_cast<uint8_t>(PowerOfTwo8(static_cast<int>(count / 8)) - 1);
}

}  // namespace zl

#endif  // ZL_UTIL_BITS_H
