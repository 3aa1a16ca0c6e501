// The parameter file as zlpoll knows it: read once with the driver's own
// reader (the code Init runs), for the stations' channel numbers, counts,
// QQ variables and memory blocks. The running driver reads the same file again
// in Init; zlpoll never looks inside the running driver.
#ifndef ZL_ZLPOLL_PARAMFILE_H
#define ZL_ZLPOLL_PARAMFILE_H

#include <memory>
#include <string>

#include "config/ChannelLayout.h"
#include "config/GlobalSettings.h"
#include "config/ParameterSet.h"

namespace zl::poll {

// A QQ variable a channel names: Variable is null when none has it.
struct VariableMatch {
  const QqVariable *Variable = nullptr;
  uint8_t StationNo = 0;
};

// A station channel: StationNo is 0 when no station claims it; Block is set
// for the two memory block kinds.
struct StationMatch {
  uint8_t StationNo = 0;
  ChannelKind Kind = ChannelKind::None;
  uint8_t Item = 0;  // 1-based
  const MemoryBlock *Block = nullptr;
};

class ParamFile {
 public:
  ParamFile();
  ~ParamFile();
  ParamFile(const ParamFile &) = delete;
  ParamFile &operator=(const ParamFile &) = delete;

  // Reads the file. On failure answers false with the reader's message in
  // UTF-8, in the process's language (the message Init would give).
  bool Load(const std::string &path, std::string &error);

  // The path as given to Load, made absolute (what zlpoll hands to Init).
  const std::string &Path() const { return path_; }
  int StationCount() const;
  // Station n, 1 = the first [STATION] section; nullptr out of range.
  const StationConfig *At(int n) const;
  const GlobalSettings &Global() const;

  // What a channel stands for to the driver, found by the driver's own
  // channel map in its order: a QQ variable (Variable set) comes first, then
  // the stations' objects and status channels.
  VariableMatch VariableOn(uint16_t channel) const;
  StationMatch StationChannel(uint16_t channel) const;

 private:
  std::unique_ptr<ParameterSet> set_;
  std::string path_;
};

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_PARAMFILE_H
