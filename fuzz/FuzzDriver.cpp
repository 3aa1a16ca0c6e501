#include "FuzzDriver.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/EventLines.h"
#include "driver/ParameterLoad.h"
#include "exchange/ChannelMap.h"
#include "support/EngineLine.h"

namespace zl::fuzz {

void InputLine::SetEndpoint(const std::string &host, int port) {
  host_ = host;
  port_ = port;
}

bool InputLine::Connect() {
  connected_ = true;
  return true;
}

int InputLine::ReadByte(uint8_t &b) {
  if (taken_ < pending_.size()) b = static_cast<uint8_t>(pending_[taken_++]);
  return 0;
}

Str255 InputLine::ReadBytes(uint16_t maxCount) {
  const std::size_t n = std::min<std::size_t>({maxCount, 255, pending_.size() - taken_});
  Str255 out(std::string_view(pending_).substr(taken_, n));
  taken_ += n;
  return out;
}

void InputLine::ClearReceived() {
  pending_.clear();
  taken_ = 0;
}

void InputLine::SendFrame(LineState &state, const Str255 &frame, uint8_t newMode) {
  ZL_FUZZ_CHECK(frame.size() <= 255);
  if (newMode != 0xFE) state.CycleState.store(newMode);
  if (connected_) ++framesSent_;
}

void InputLine::Feed(std::string_view bytes) {
  pending_.erase(0, taken_);
  taken_ = 0;
  pending_ += bytes;
}

void QuietServices::PostEvent(std::string_view text) {
  di_.PendingEvent = text;
  AddToMemo(di_);
}

LoadedDriver::LoadedDriver() {
  Di.Services = &Services;
  Di.Client = &Line;
}

bool LoadedDriver::Load(std::string_view parameterText) {
  Di.Channels.reset();
  InitZavro(Di);
  if (!LoadParameterText(Di, parameterText)) return false;
  ResetStations(Di);
  Di.Channels = BuildChannelIndex(Di);
  return true;
}

std::string EngineLineText() {
  return test::engine::EngineParameterFile();
}

std::string DemoLineText() {
  std::ifstream in(std::string(ZL_SOURCE_DIR) + "/examples/demo.par", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

std::string &PrivateDrive() {
  static std::string path;
  return path;
}

void RemovePrivateDrive() {
  std::error_code ec;
  if (!PrivateDrive().empty()) std::filesystem::remove_all(PrivateDrive(), ec);
}

}  // namespace

void UsePrivateDriveC() {
  if (!PrivateDrive().empty()) return;
  std::string tmpl = (std::filesystem::temp_directory_path() / "zlfuzz-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
  PrivateDrive() = tmpl;
  ::setenv("ZLNETDRV_DRIVE_C", tmpl.c_str(), 1);
  std::atexit(RemovePrivateDrive);
}

void UseMissingDriveC() {
  ::setenv("ZLNETDRV_DRIVE_C", "/nonexistent/zlnetdrv-fuzz", 1);
}

}  // namespace zl::fuzz
