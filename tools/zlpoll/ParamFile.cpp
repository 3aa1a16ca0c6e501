#include "zlpoll/ParamFile.h"

#include <filesystem>

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
  set_ = std::make_unique<ParameterSet>();
  if (ReadParameterFile(path_, *set_, error)) return true;
  set_.reset();
  return false;
}

int ParamFile::StationCount() const {
  return set_ ? set_->StationCount() : 0;
}

const StationConfig *ParamFile::At(int n) const {
  return set_ ? set_->At(n) : nullptr;
}

const GlobalSettings &ParamFile::Global() const {
  static const GlobalSettings none;
  return set_ ? set_->Global : none;
}

VariableMatch ParamFile::VariableOn(uint16_t channel) const {
  if (!set_) return {};
  const zl::VariableMatch m = FindVariable(ViewOf(*set_), channel);
  if (m.StationNo == 0) return {};
  return {&set_->At(m.StationNo)->QqVariables[m.Position], m.StationNo};
}

StationMatch ParamFile::StationChannel(uint16_t channel) const {
  if (!set_) return {};
  const zl::StationMatch m = ResolveStationChannel(ViewOf(*set_), channel);
  if (m.StationNo == 0) return {};
  const MemoryBlock *block =
      m.IsBlock() ? &set_->At(m.StationNo)->MemoryBlocks[m.Position] : nullptr;
  return {m.StationNo, m.Kind, m.Item, block};
}

}  // namespace zl::poll
