// Loading parameter files in tests: a driver instance configured the way
// Init's configuration steps configure it.
#ifndef ZL_TESTS_SUPPORT_CONFIGFIXTURE_H
#define ZL_TESTS_SUPPORT_CONFIGFIXTURE_H

#include <string>
#include <string_view>

#include "core/DriverInstance.h"
#include "support/TestSupport.h"

namespace zl::test {

// The text with every bare "\n" written as CR LF, as parameter files are.
std::string Crlf(std::string_view text);

// A [GLOBAL] section with the six required keywords, extra lines before its
// END (CR LF line ends).
std::string GlobalSection(std::string_view extra = "");
// A [STATION] section with every required keyword (no channels, no lists),
// extra lines before its END (CR LF line ends).
std::string StationSection(std::string_view extra = "", int address = 1, int port = 4001);

// Writes text to a parameter file in a temporary folder (drive C: maps there
// while the fixture lives) and runs InitZavro, LoadParameterFile and, when the
// load succeeds, ResetStations, with FakeServices collecting the event lines.
class ConfigFixture {
 public:
  ConfigFixture();

  bool Load(std::string_view fileText);
  // Loads the file named as Init would get it (a Windows or native path).
  bool LoadNamed(std::string_view fileName);
  // ErrorText up to its NUL.
  std::string Error() const;
  Station &St(int n) { return *Di.StationAt(n); }

  TempDir Dir;
  FakeServices Services;
  DriverInstance Di;
};

// The same steps on a caller's driver instance (its Services stay as they
// are): answers the load's result and, when error is given, ErrorText.
bool LoadConfigText(DriverInstance &di, std::string_view fileText, std::string *error = nullptr);

}  // namespace zl::test

#endif  // ZL_TESTS_SUPPORT_CONFIGFIXTURE_H
