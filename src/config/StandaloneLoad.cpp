// The parameter file read outside a running driver: zlpoll and zlsim read the
// same file the driver reads, with the driver's own loader.
#include <cstring>
#include <functional>

#include "config/ParameterFile.h"
#include "util/Text.h"

namespace zl {
namespace {

// The loader reports its progress as event lines; outside the driver there is
// no status window for them, so they go nowhere.
class SilentServices : public DriverServices {
 public:
  void AddEvent(std::string_view) override {}
  void AddStatusLine(std::string_view) override {}
  void PostEvent(std::string_view) override {}
  void Synchronize(const std::function<void()> &fn) override { fn(); }
  void Wake() override {}
};

SilentServices silentServices;

}  // namespace

bool LoadParameterFileStandalone(DriverInstance &di, const std::string &path, std::string &error) {
  di.Services = &silentServices;
  InitZavro(di);
  di.ParameterFileName = path;
  const bool ok = LoadParameterFile(di);
  // A "$DIAGS" in the file switched the debug log on; a running driver writes
  // its own lines, this read of the file stops here.
  di.Log.Disable();
  if (ok) return true;
  error = Utf8FromCp1250(std::string_view(di.ErrorText, ::strnlen(di.ErrorText, 80)));
  if (error.empty()) error = "the parameter file could not be loaded";
  return false;
}

}  // namespace zl
