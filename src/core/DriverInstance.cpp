#include "core/DriverInstance.h"

namespace zl {

DriverInstance::DriverInstance() = default;
DriverInstance::~DriverInstance() = default;

ParameterSet ConfigurationOf(const DriverInstance &di) {
  ParameterSet set;
  set.Global = di.Global;
  for (int n = 1; n <= di.StationCount; ++n)
    if (const StationConfig *st = di.ConfigAt(n)) set.Stations.push_back(*st);
  return set;
}

Station &DriverInstance::MakeStation(int n) {
  if (!Stations[n]) Stations[n] = std::make_unique<Station>();
  return *Stations[n];
}

void DriverInstance::DropStations() {
  for (auto &slot : Stations) slot.reset();
}

}  // namespace zl
