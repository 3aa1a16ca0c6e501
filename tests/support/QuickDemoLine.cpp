#include "support/QuickDemoLine.h"

namespace zl::test {

std::string Replaced(std::string text, std::string_view from, std::string_view to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::string WithoutPhones(std::string text) {
  text = Replaced(text, "  PHONE          0601000005\r\n", "");
  return Replaced(text, "  PHONE          0601000006\r\n", "");
}

bool QuickDemoLine::Start(const TempDir &dir, sim::SimOptions options,
                          const std::function<std::string(std::string)> &edit, std::string &error) {
  std::string text = TempDir::Read(std::string(ZL_SOURCE_DIR) + "/examples/demo.par");
  if (text.empty()) {
    error = "examples/demo.par is missing";
    return false;
  }
  text = Replaced(text, "SILENCE_WAIT 20", "SILENCE_WAIT 0 ");
  text = Replaced(text, "IDLE_TIME    10", "IDLE_TIME    1 ");
  if (edit) text = edit(text);
  options.Ephemeral = true;
  Sim = sim::Simulator::FromParameterFile(dir.Write("sim.par", text), options, error);
  if (!Sim || !Sim->Start(error)) return false;
  HostFile = dir.Write("demo.par", sim::RewriteEndpoints(text, Sim->Mappings()));
  return true;
}

bool QuickDemoLine::StartStatic(const TempDir &dir, const std::string &answerTime,
                                std::string &error) {
  sim::SimOptions options;
  options.Static = true;
  options.Seed = 11;
  return Start(
      dir, options,
      [&](std::string text) {
        return Replaced(std::move(text), "ANSWER_TIME  2.5", "ANSWER_TIME  " + answerTime);
      },
      error);
}

}  // namespace zl::test
