#include "support/ConfigFixture.h"

#include "driver/ParameterLoad.h"

namespace zl::test {
namespace {

bool RunConfigSteps(DriverInstance &di, std::string_view fileName) {
  InitZavro(di);
  di.ParameterFileName = fileName;
  bool ok = LoadParameterFile(di);
  if (ok) ResetStations(di);
  return ok;
}

}  // namespace

std::string Crlf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

std::string GlobalSection(std::string_view extra) {
  return Crlf(
      "[GLOBAL]\n PREFIX NONE\n SUFFIX $0D\n PRESUFFIX NONE\n ADDRESS 0\n"
      " ANSWER_TIME 2.5\n DEF_ANALOG_IN_ADDR 40\n" +
      std::string(extra) + "\nEND\n");
}

std::string StationSection(std::string_view extra, int address, int port) {
  return Crlf("[STATION]\n ADDRESS " + std::to_string(address) + "\n RETRANSLATION 0\n NAME \"ST" +
              std::to_string(address) +
              "\"\n NUM_BINAR_IN 16\n NUM_BINAR_OUT 8\n NUM_ANALOG_IN 4\n NUM_COUNTER_IN 0\n"
              " NUM_MEMORY_IN 0\n NUM_MEMORY_OUT 0\n BINAR_IN_XOR NONE\n BINAR_OUT_XOR NONE\n"
              " DEF_ANALOG_IN_ADDR FROM_GLOBAL\n DEF_MEMORY_IN NONE\n DEF_MEMORY_OUT NONE\n"
              " DEF_COUNTER_IN NONE\n IP \"127.0.0.1\"\n PORT " +
              std::to_string(port) + "\n" + std::string(extra) + "\nEND\n");
}

ConfigFixture::ConfigFixture() {
  Di.Services = &Services;
}

bool ConfigFixture::Load(std::string_view fileText) {
  return LoadNamed(Dir.Write("test.par", fileText));
}

bool ConfigFixture::LoadNamed(std::string_view fileName) {
  return RunConfigSteps(Di, fileName);
}

std::string ConfigFixture::Error() const {
  return std::string(Di.ErrorText);
}

bool LoadConfigText(DriverInstance &di, std::string_view fileText, std::string *error) {
  TempDir dir;
  bool ok = RunConfigSteps(di, dir.Write("test.par", fileText));
  if (error) *error = di.ErrorText;
  return ok;
}

}  // namespace zl::test
