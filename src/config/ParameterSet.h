// The parameter file read into a plain value: the [GLOBAL] settings and the
// configuration of every [STATION], in file order.
#ifndef ZL_CONFIG_PARAMETERSET_H
#define ZL_CONFIG_PARAMETERSET_H

#include <string>
#include <string_view>
#include <vector>

#include "config/GlobalSettings.h"
#include "config/LoadContext.h"
#include "config/StationConfig.h"

namespace zl {

struct ParameterSet {
  GlobalSettings Global;
  std::vector<StationConfig> Stations;  // in file order: Stations[0] is station 1
  // Station n (1-based), nullptr out of range.
  const StationConfig *At(int n) const;
  int StationCount() const { return static_cast<int>(Stations.size()); }
};

// A load outside a running driver (the tools read the file the driver reads): the
// defaults, then the file at path. On failure false, with the message Init would give,
// in UTF-8.
bool ReadParameterFile(const std::string &path, ParameterSet &out, std::string &error);

// The [GLOBAL] defaults and no station: what a load starts from.
void SetDefaults(ParameterSet &set);

// A station record as it stands before its section is read, for slot n (also
// what the driver keeps in the slots no section fills).
void InitStationConfig(StationConfig &st, int slot);

// Reads the file's bytes into set (which holds the defaults). On failure
// answers false with the message in ctx.ErrorText. A load that ends on a
// rejected station after at least one accepted one succeeds: every station
// read, the rejected one last, is in set.Stations. On failure set.Stations
// holds what was read by then.
bool ReadParameterText(LoadContext &ctx, std::string_view text, ParameterSet &set);

// The same from the file fileName (a Windows path through the drive mapping,
// or a native path); a file that cannot be read is reported by its name.
bool ReadParameterPath(LoadContext &ctx, std::string_view fileName, ParameterSet &set);

}  // namespace zl

#endif  // ZL_CONFIG_PARAMETERSET_H
