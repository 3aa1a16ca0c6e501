// The parameter file as zlpoll knows it: read once with the driver's own
// reader (the code Init runs), for the stations' channel numbers, counts,
// QQ variables and memory blocks. The running driver reads the same file again
// in Init; zlpoll never looks inside the running driver.
#ifndef ZL_ZLPOLL_PARAMFILE_H
#define ZL_ZLPOLL_PARAMFILE_H

#include <memory>
#include <string>

#include "config/GlobalSettings.h"
#include "config/Station.h"
#include "exchange/ChannelMap.h"

namespace zl {
struct DriverInstance;
}

namespace zl::poll {

class ParamFile {
 public:
  ParamFile();
  ~ParamFile();
  ParamFile(const ParamFile &) = delete;
  ParamFile &operator=(const ParamFile &) = delete;

  // Reads the file. On failure answers false with the reader's Czech message
  // in UTF-8 (the message Init would give).
  bool Load(const std::string &path, std::string &error);

  // The path as given to Load, made absolute (what zlpoll hands to Init).
  const std::string &Path() const { return path_; }
  int StationCount() const;
  // Station n, 1 = the first [STATION] section; nullptr out of range.
  const Station *At(int n) const;
  const GlobalSettings &Global() const;

  // What a channel stands for to the driver, found by the driver's own
  // channel map in its order: a QQ variable (Variable set) comes first, then
  // the stations' objects and status channels.
  VariableMatch VariableOn(uint16_t channel) const;
  StationMatch StationChannel(uint16_t channel) const;

 private:
  std::unique_ptr<DriverInstance> di_;
  std::string path_;
};

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_PARAMFILE_H
