// The driver as a host holds it: the shared library loaded with dlopen, every
// entry point looked up by name, and one driver from MakeDriver to
// DisposeDriver. The tools reach the running driver through nothing else.
#ifndef ZL_TOOLS_COMMON_DRIVERLIB_H
#define ZL_TOOLS_COMMON_DRIVERLIB_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zlnetdrv.h"

namespace zl::tools {

// The entry points of include/zlnetdrv.h, as the library exports them.
struct DriverApi {
  decltype(&::Version) Version = nullptr;
  decltype(&::GetDriverInfo) GetDriverInfo = nullptr;
  decltype(&::MakeDriver) MakeDriver = nullptr;
  decltype(&::DisposeDriver) DisposeDriver = nullptr;
  decltype(&::Init) Init = nullptr;
  decltype(&::BufferInfo) BufferInfo = nullptr;
  decltype(&::SetBufferAddr) SetBufferAddr = nullptr;
  decltype(&::InputRequest) InputRequest = nullptr;
  decltype(&::GetInput) GetInput = nullptr;
  decltype(&::OutputRequest) OutputRequest = nullptr;
  decltype(&::Done) Done = nullptr;
  decltype(&::PumpMessages) PumpMessages = nullptr;
  decltype(&::MessageFd) MessageFd = nullptr;
  decltype(&::GetStatusWindow) GetStatusWindow = nullptr;
  decltype(&::GetChannelMap) GetChannelMap = nullptr;
};

class DriverLibrary {
 public:
  // Where a tool looks for the library, in order: the --driver path, else
  // $ZLNETDRV_LIBRARY, else beside the tool's executable (an installed
  // layout, then the build tree), else the system's search for
  // "libzlnetdrv.so.1".
  static std::vector<std::string> Candidates(const std::string &explicitPath);

  // Loads the first candidate that loads and has every entry point; nullptr
  // and a message naming what to do otherwise.
  static std::unique_ptr<DriverLibrary> Load(const std::string &explicitPath, std::string &error);

  ~DriverLibrary();
  DriverLibrary(const DriverLibrary &) = delete;
  DriverLibrary &operator=(const DriverLibrary &) = delete;

  const DriverApi &Api() const { return api_; }
  const std::string &Path() const { return path_; }
  // The file loaded, its links followed: its name carries the library's
  // version (libzlnetdrv.so.1.2.0).
  std::string LoadedFile() const;
  // The driver's name and version as GetDriverInfo gives them.
  std::string DriverInfo() const;

 private:
  DriverLibrary() = default;
  void *handle_ = nullptr;
  std::string path_;
  DriverApi api_;
};

// One driver. The destructor calls Done and DisposeDriver, so every way out of
// a tool (an error, Ctrl-C, the end of a job) stops the driver's thread and
// closes its connection.
class DriverSession {
 public:
  explicit DriverSession(const DriverApi &api);
  ~DriverSession();
  DriverSession(const DriverSession &) = delete;
  DriverSession &operator=(const DriverSession &) = delete;

  // Init with the parameter file; on failure answers false with the driver's
  // message converted to UTF-8.
  bool Init(const std::string &parameterFile, std::string &error, const char *hostName = "zlpoll");

  // Hands over the host's sample buffer (16862 bytes); false when refused.
  bool SetSampleBuffer(uint8_t *block);

  HostValue Get(uint16_t channel, uint32_t type) const;
  double GetDouble(uint16_t channel) const;
  uint8_t GetBool(uint16_t channel) const;
  // A text channel read into a buffer of the largest text the driver copies
  // (256 bytes), converted from Windows-1250 to UTF-8 up to its first NUL.
  std::string GetText(uint16_t channel) const;
  void Put(uint16_t channel, uint32_t type, uint64_t value);
  void PutBool(uint16_t channel, bool on) { Put(channel, ZL_TYPE_BOOL, on ? 1 : 0); }
  void PutDouble(uint16_t channel, double value);
  void Request(uint16_t channel);  // InputRequest

  int MessageFd() const;
  int Pump(int timeoutMs);
  // The status window as the driver describes it (UTF-8 JSON).
  std::string StatusWindowJson() const;
  // The loaded configuration's channel map (UTF-8 JSON).
  std::string ChannelMapJson() const;

 private:
  const DriverApi &api_;
  void *handle_ = nullptr;
};

}  // namespace zl::tools

#endif  // ZL_TOOLS_COMMON_DRIVERLIB_H
