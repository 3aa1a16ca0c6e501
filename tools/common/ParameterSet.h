// TEMPORARY: the parameter file as a plain value, over today's reader, until
// the configuration layer offers it itself (config/ParameterSet.h and
// config/ChannelLayout.h). The tools use only these names; this file and its
// .cpp go when that lands.
#ifndef ZL_TOOLS_COMMON_PARAMETERSET_H
#define ZL_TOOLS_COMMON_PARAMETERSET_H

#include <string>
#include <vector>

#include "config/GlobalSettings.h"
#include "config/Station.h"

namespace zl {

using StationConfig = Station;

struct ParameterSet {
  GlobalSettings Global;
  std::vector<StationConfig> Stations;  // in file order: Stations[0] is station 1
  const StationConfig *At(int n) const {
    return n >= 1 && n <= StationCount() ? &Stations[static_cast<std::size_t>(n - 1)] : nullptr;
  }
  int StationCount() const { return static_cast<int>(Stations.size()); }
};

bool ReadParameterFile(const std::string &path, ParameterSet &out, std::string &error);

}  // namespace zl

#endif  // ZL_TOOLS_COMMON_PARAMETERSET_H
