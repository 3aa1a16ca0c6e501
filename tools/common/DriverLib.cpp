#include "common/DriverLib.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "util/Text.h"

#ifndef ZLTOOLS_LIBDIR
#define ZLTOOLS_LIBDIR "lib"
#endif

namespace zl::tools {

namespace {

constexpr const char *kLibraryName = "libzlnetdrv.so.1";
constexpr uint32_t kInterfaceVersion = 0x30000;

std::string ExecutableDir() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.parent_path().string();
}

template <class F>
bool Resolve(void *handle, const char *name, F &slot, std::string &missing) {
  slot = reinterpret_cast<F>(::dlsym(handle, name));
  if (!slot) missing += std::string(missing.empty() ? "" : ", ") + name;
  return slot != nullptr;
}

}  // namespace

std::vector<std::string> DriverLibrary::Candidates(const std::string &explicitPath) {
  if (!explicitPath.empty()) return {explicitPath};
  if (const char *env = std::getenv("ZLNETDRV_LIBRARY"); env && *env) return {env};
  std::vector<std::string> out;
  const std::string dir = ExecutableDir();
  if (!dir.empty()) {
    for (const std::string &relative : {std::string("/../") + ZLTOOLS_LIBDIR + "/",
                                        std::string("/../lib/"), std::string("/../../")}) {
      const std::string path = dir + relative + kLibraryName;
      std::error_code ec;
      if (std::filesystem::exists(path, ec)) {
        out.push_back(std::filesystem::weakly_canonical(path, ec).string());
      }
    }
  }
  out.push_back(kLibraryName);
  return out;
}

std::unique_ptr<DriverLibrary> DriverLibrary::Load(const std::string &explicitPath,
                                                   std::string &error) {
  std::string reasons;
  for (const std::string &path : Candidates(explicitPath)) {
    // Never unmapped: the driver's static texts and caches stay reachable
    // until the process ends, as in a host that loads its driver for good.
    void *handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
      const char *why = ::dlerror();
      reasons += "\n  " + (why ? std::string(why) : path);
      continue;
    }
    std::unique_ptr<DriverLibrary> lib(new DriverLibrary());
    lib->handle_ = handle;
    lib->path_ = path;
    DriverApi &a = lib->api_;
    std::string missing;
    Resolve(handle, "Version", a.Version, missing);
    Resolve(handle, "GetDriverInfo", a.GetDriverInfo, missing);
    Resolve(handle, "MakeDriver", a.MakeDriver, missing);
    Resolve(handle, "DisposeDriver", a.DisposeDriver, missing);
    Resolve(handle, "Init", a.Init, missing);
    Resolve(handle, "BufferInfo", a.BufferInfo, missing);
    Resolve(handle, "SetBufferAddr", a.SetBufferAddr, missing);
    Resolve(handle, "InputRequest", a.InputRequest, missing);
    Resolve(handle, "GetInput", a.GetInput, missing);
    Resolve(handle, "OutputRequest", a.OutputRequest, missing);
    Resolve(handle, "Done", a.Done, missing);
    Resolve(handle, "PumpMessages", a.PumpMessages, missing);
    Resolve(handle, "MessageFd", a.MessageFd, missing);
    Resolve(handle, "GetStatusWindow", a.GetStatusWindow, missing);
    Resolve(handle, "GetChannelMap", a.GetChannelMap, missing);
    if (!missing.empty()) {
      reasons += "\n  " + path + " lacks " + missing;
      continue;  // the destructor closes it
    }
    if (a.Version() != kInterfaceVersion) {
      reasons += "\n  " + path + " implements another interface version";
      continue;
    }
    return lib;
  }
  error = "cannot load the driver library:" + reasons +
          "\n  give its path with --driver PATH or ZLNETDRV_LIBRARY=PATH (it is built as "
          "build/libzlnetdrv.so.1)";
  return nullptr;
}

DriverLibrary::~DriverLibrary() {
  if (handle_) ::dlclose(handle_);
}

std::string DriverLibrary::LoadedFile() const {
  Dl_info info{};
  std::string file = path_;
  if (::dladdr(reinterpret_cast<void *>(api_.Version), &info) && info.dli_fname)
    file = info.dli_fname;
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::canonical(file, ec);
  return ec ? file : real.string();
}

std::string DriverLibrary::DriverInfo() const {
  char text[64] = {};
  const uint32_t n = api_.GetDriverInfo(0, text);
  return Utf8FromCp1250(std::string_view(text, std::min<std::size_t>(n, sizeof text - 1)));
}

DriverSession::DriverSession(const DriverApi &api) : api_(api), handle_(api.MakeDriver()) {}

DriverSession::~DriverSession() {
  if (!handle_) return;
  api_.Done(handle_);
  api_.DisposeDriver(handle_);
}

bool DriverSession::Init(const std::string &parameterFile, std::string &error,
                         const char *hostName) {
  char text[256] = {};
  std::snprintf(text, sizeof text, "%s", hostName);
  const auto limit = static_cast<int32_t>(std::min<std::size_t>(parameterFile.size(), 255));
  if (api_.Init(handle_, limit, parameterFile.c_str(), 0, text, 1) == 1) return true;
  error = Utf8FromCp1250(std::string_view(text, ::strnlen(text, sizeof text)));
  if (error.empty()) error = "Init failed";
  return false;
}

bool DriverSession::SetSampleBuffer(uint8_t *block) {
  if (api_.BufferInfo(handle_, ZL_SAMPLE_BUFFER, ZL_SAMPLE_BUFFER_TYPE, ZL_SAMPLE_BUFFER_SIZE) != 1)
    return false;
  api_.SetBufferAddr(handle_, ZL_SAMPLE_BUFFER, block);
  return true;
}

HostValue DriverSession::Get(uint16_t channel, uint32_t type) const {
  HostValue v{type, {}};
  api_.GetInput(handle_, channel, &v);
  return v;
}

double DriverSession::GetDouble(uint16_t channel) const {
  const HostValue v = Get(channel, ZL_TYPE_DOUBLE);
  double d;
  std::memcpy(&d, v.value, sizeof d);
  return d;
}

uint8_t DriverSession::GetBool(uint16_t channel) const {
  return Get(channel, ZL_TYPE_BOOL).value[0];
}

std::string DriverSession::GetText(uint16_t channel) const {
  char text[257] = {};
  HostValue v{ZL_TYPE_TEXT, {}};
  const auto address = reinterpret_cast<uintptr_t>(text);
  std::memcpy(v.value, &address, sizeof address);
  api_.GetInput(handle_, channel, &v);
  return Utf8FromCp1250(std::string_view(text, ::strnlen(text, 256)));
}

void DriverSession::Put(uint16_t channel, uint32_t type, uint64_t value) {
  api_.OutputRequest(handle_, channel, type, value);
}

void DriverSession::PutDouble(uint16_t channel, double value) {
  Put(channel, ZL_TYPE_DOUBLE, std::bit_cast<uint64_t>(value));
}

void DriverSession::Request(uint16_t channel) {
  api_.InputRequest(handle_, channel);
}

int DriverSession::MessageFd() const {
  return api_.MessageFd(handle_);
}

int DriverSession::Pump(int timeoutMs) {
  return api_.PumpMessages(handle_, timeoutMs);
}

namespace {

// A text answered like snprintf, in a buffer grown to fit.
template <class F>
std::string SizedText(F fetch) {
  std::string text(4096, '\0');
  for (int tries = 0; tries < 4; ++tries) {
    const int32_t need = fetch(text.data(), static_cast<int32_t>(text.size()));
    if (need < 0) return "{}";
    if (static_cast<std::size_t>(need) < text.size()) {
      text.resize(static_cast<std::size_t>(need));
      return text;
    }
    text.assign(static_cast<std::size_t>(need) + 1, '\0');
  }
  return "{}";
}

}  // namespace

std::string DriverSession::StatusWindowJson() const {
  return SizedText([&](char *b, int32_t n) { return api_.GetStatusWindow(handle_, b, n); });
}

std::string DriverSession::ChannelMapJson() const {
  return SizedText([&](char *b, int32_t n) { return api_.GetChannelMap(handle_, b, n); });
}

}  // namespace zl::tools
