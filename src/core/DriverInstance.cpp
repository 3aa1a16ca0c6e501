#include "core/DriverInstance.h"

namespace zl {

DriverInstance::DriverInstance() = default;
DriverInstance::~DriverInstance() = default;

ParameterSet ConfigurationOf(const DriverInstance &di) {
  ParameterSet set;
  set.Global = di.Global;
  for (int n = 1; n <= di.StationCount; ++n)
    if (const Station *st = di.StationAt(n)) set.Stations.push_back(*st);
  return set;
}

}  // namespace zl
