// Loading the parameter file into DriverInstance: the configuration steps of
// Init, in their order.
#ifndef ZL_CONFIG_PARAMETERFILE_H
#define ZL_CONFIG_PARAMETERFILE_H

#include <string>
#include <string_view>

#include "driver/DriverInstance.h"

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

// A load outside a running driver (the tools read the file the driver reads):
// the defaults, then the file at path (at most 255 bytes), with the event lines
// dropped and the debug log left off. On failure gives the message in UTF-8.
bool LoadParameterFileStandalone(DriverInstance &di, const std::string &path, std::string &error);

// After a successful load: clears the run-time values of all 100 stations.
void ResetStations(DriverInstance &di);

// Clears the 528 sample rows: bytes 0..6 zero, each value slot of length 3
// holding 00 00 00 (the 3-byte real 0.0).
void ClearSampleRows(SampleRow *rows);

}  // namespace zl

#endif  // ZL_CONFIG_PARAMETERFILE_H
