// The driver behind a handle of the C ABI, for code inside the library and
// its tests (the host sees only include/zlnetdrv.h).
#ifndef ZL_DRIVER_EXPORTS_H
#define ZL_DRIVER_EXPORTS_H

namespace zl {

class Driver;

// The driver the handle stands for; null for a null or foreign handle, or
// when no driver exists.
Driver *FormOfHandle(const void *handle);

}  // namespace zl

#endif  // ZL_DRIVER_EXPORTS_H
