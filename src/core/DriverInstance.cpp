#include "core/DriverInstance.h"

namespace zl {

DriverInstance::DriverInstance() = default;
DriverInstance::~DriverInstance() = default;

}  // namespace zl
