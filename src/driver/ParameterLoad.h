// The configuration steps of Init on the driver record: the defaults, the
// parameter file read into a ParameterSet and the run-time stations built
// from it, and the reset of their run-time values.
#ifndef ZL_DRIVER_PARAMETERLOAD_H
#define ZL_DRIVER_PARAMETERLOAD_H

#include <string_view>

#include "core/DriverInstance.h"

namespace zl {

// Defaults of the [GLOBAL] settings, the 100 empty station records and the
// sample table, and the rest of the run-time state reset (always succeeds).
void InitZavro(DriverInstance &di);

// Reads di.ParameterFileName (a Windows path through the drive mapping, or a
// native path). On failure leaves the Czech message in di.ErrorText and
// answers false. Event lines go to di.Services->AddEvent.
bool LoadParameterFile(DriverInstance &di);

// The same load over the file's bytes already in memory.
bool LoadParameterText(DriverInstance &di, std::string_view text);

// After a successful load: clears the run-time values of all 100 stations.
void ResetStations(DriverInstance &di);

}  // namespace zl

#endif  // ZL_DRIVER_PARAMETERLOAD_H
