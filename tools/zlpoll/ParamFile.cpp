#include "zlpoll/ParamFile.h"

#include <cstring>
#include <filesystem>
#include <functional>

#include "config/ParameterFile.h"
#include "driver/DriverInstance.h"
#include "port/Text.h"

namespace zl::poll {

namespace {

// The reader reports its progress as event lines; zlpoll has no window for
// them (the running driver shows its own).
class NoWindow : public DriverServices {
 public:
  void AddEvent(std::string_view) override {}
  void AddStatusLine(std::string_view) override {}
  void PostEvent(std::string_view) override {}
  void Synchronize(const std::function<void()> &fn) override { fn(); }
  void Wake() override {}
};

NoWindow noWindow;

}  // namespace

ParamFile::ParamFile() = default;
ParamFile::~ParamFile() = default;

bool ParamFile::Load(const std::string &path, std::string &error) {
  std::error_code ec;
  path_ = std::filesystem::absolute(path, ec).lexically_normal().string();
  if (ec) path_ = path;
  if (path_.size() > Str255::Capacity) {
    error = "the parameter file's path is longer than 255 bytes (" + path_ +
            "): move the file to a shorter path";
    return false;
  }
  di_ = std::make_unique<DriverInstance>();
  di_->Services = &noWindow;
  InitZavro(*di_);
  di_->ParameterFileName = path_;
  const bool ok = LoadParameterFile(*di_);
  // A "$DIAGS" in the file switched the debug log on; the running driver
  // writes its own lines, zlpoll's read of the file stops here.
  di_->Log.Disable();
  if (ok) return true;
  error = Utf8FromCp1250(std::string_view(di_->ErrorText, ::strnlen(di_->ErrorText, 80)));
  if (error.empty()) error = "the parameter file could not be read";
  di_.reset();
  return false;
}

int ParamFile::StationCount() const {
  return di_ ? di_->StationCount : 0;
}

const Station *ParamFile::At(int n) const {
  return di_ && n >= 1 && n <= di_->StationCount ? di_->StationAt(n) : nullptr;
}

const GlobalSettings &ParamFile::Global() const {
  static const GlobalSettings none;
  return di_ ? di_->Global : none;
}

}  // namespace zl::poll
