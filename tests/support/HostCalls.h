// Typed reads and writes through the exported C functions, for fixtures that
// hold a driver handle.
#ifndef ZL_TESTS_SUPPORT_HOSTCALLS_H
#define ZL_TESTS_SUPPORT_HOSTCALLS_H

#include <bit>
#include <cstdint>
#include <cstring>

#include "zlnetdrv.h"

namespace zl::test {

class HostCalls {
 public:
  template <class T>
  T Get(uint16_t channel, uint32_t type) {
    HostValue v{type, {}};
    GetInput(h_, channel, &v);
    T x;
    std::memcpy(&x, v.value, sizeof x);
    return x;
  }
  double D(uint16_t channel) { return Get<double>(channel, ZL_TYPE_DOUBLE); }
  uint8_t Bool(uint16_t channel) { return Get<uint8_t>(channel, ZL_TYPE_BOOL); }
  void Put(uint16_t channel, uint32_t type, uint64_t value) {
    OutputRequest(h_, channel, type, value);
  }
  void PutD(uint16_t channel, double value) {
    Put(channel, ZL_TYPE_DOUBLE, std::bit_cast<uint64_t>(value));
  }
  void Command(uint16_t channel) { Put(channel, ZL_TYPE_BOOL, 1); }

 protected:
  void *h_ = nullptr;
};

}  // namespace zl::test

#endif  // ZL_TESTS_SUPPORT_HOSTCALLS_H
