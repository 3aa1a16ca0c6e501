// Loading the parameter file into DriverInstance: the configuration steps of
// Init, in their order.
#ifndef ZL_CONFIG_PARAMETERFILE_H
#define ZL_CONFIG_PARAMETERFILE_H

#include "driver/DriverInstance.h"

namespace zl {

// Defaults of the [GLOBAL] settings, the 100 empty station records and the
// sample table, and the rest of the run-time state reset (always succeeds).
void InitZavro(DriverInstance &di);

// Reads di.ParameterFileName. On failure leaves the Czech message in
// di.ErrorText and answers false. Event lines go to di.Services->AddEvent.
bool LoadParameterFile(DriverInstance &di);

// After a successful load: clears the run-time values of all 100 stations.
void ResetStations(DriverInstance &di);

}  // namespace zl

#endif  // ZL_CONFIG_PARAMETERFILE_H
