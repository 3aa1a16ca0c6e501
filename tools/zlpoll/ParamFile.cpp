#include "zlpoll/ParamFile.h"

#include <filesystem>

#include "config/ParameterFile.h"

namespace zl::poll {

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
  if (LoadParameterFileStandalone(*di_, path_, error)) return true;
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

VariableMatch ParamFile::VariableOn(uint16_t channel) const {
  return di_ ? FindVariable(*di_, channel) : VariableMatch{};
}

StationMatch ParamFile::StationChannel(uint16_t channel) const {
  return di_ ? ResolveStationChannel(*di_, channel) : StationMatch{};
}

}  // namespace zl::poll
