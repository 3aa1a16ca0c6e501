// TEMPORARY: see ParameterSet.h.
#include "common/ParameterSet.h"

#include <memory>

#include "config/ParameterFile.h"
#include "driver/DriverInstance.h"

namespace zl {

bool ReadParameterFile(const std::string &path, ParameterSet &out, std::string &error) {
  auto di = std::make_unique<DriverInstance>();
  if (!LoadParameterFileStandalone(*di, path, error)) return false;
  out = ParameterSet();
  out.Global = di->Global;
  for (int n = 1; n <= di->StationCount; ++n) out.Stations.push_back(*di->StationAt(n));
  return true;
}

}  // namespace zl
