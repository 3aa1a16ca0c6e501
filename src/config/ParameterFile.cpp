// Stand-in until the parameter file reader lands: every load fails.
#include "config/ParameterFile.h"

#include <cstring>

namespace zl {

void InitZavro(DriverInstance &di) {
  for (int n = 1; n <= kMaxStations; ++n) di.Stations[n] = std::make_unique<Station>();
  di.SampleTable = std::make_unique<SampleRow[]>(kSampleRows);
  di.StationCount = 0;
}

bool LoadParameterFile(DriverInstance &di) {
  std::string msg = Cp1250("Parametrický soubor nelze načíst");
  std::memset(di.ErrorText, 0, sizeof di.ErrorText);
  std::memcpy(di.ErrorText, msg.data(), std::min<std::size_t>(msg.size(), 80));
  return false;
}

void ResetStations(DriverInstance &) {}

}  // namespace zl
