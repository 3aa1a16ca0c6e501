#include "PollLine.h"

#include <algorithm>
#include <sstream>

#include "zlpoll/ParamText.h"

namespace zl::test {

void PollLine::Start(const std::string &answerTime) {
  std::string text = TempDir::Read(std::string(ZL_SOURCE_DIR) + "/examples/demo.par");
  ASSERT_FALSE(text.empty());
  // A quick line: no pause after an answer, a pass of the driver's thread
  // every millisecond.
  text = poll::SetGlobalValue(text, "ANSWER_TIME", answerTime);
  text = poll::SetGlobalValue(text, "SILENCE_WAIT", "0");
  text = poll::SetGlobalValue(text, "IDLE_TIME", "1");
  sim::SimOptions options;
  options.Ephemeral = true;
  options.Static = true;
  options.Seed = 11;
  std::string error;
  sim_ = sim::Simulator::FromParameterFile(dir_.Write("sim.par", text), options, error);
  ASSERT_TRUE(sim_) << error;
  ASSERT_TRUE(sim_->Start(error)) << error;
  par_ = dir_.Write("demo.par", sim::RewriteEndpoints(text, sim_->Mappings()));
  ASSERT_TRUE(file_.Load(par_, error)) << error;
}

void PollLine::TearDown() {
  if (sim_) sim_->Stop();
}

std::vector<std::string> PollLine::Env() const {
  // The locale of whoever runs the tests does not choose zlpoll's language.
  return {"ZLNETDRV_LIBRARY=" ZLNETDRV_LIBRARY_FILE, "LC_ALL=C"};
}

ChildResult PollLine::Run(std::vector<std::string> args, double seconds) {
  args.insert(args.begin(), {"--drive-c", dir_.path()});
  // A slow, busy machine answers late, not never: unless the test waits for
  // a time-out of its own, zlpoll waits half as long as the test does.
  if (std::find(args.begin(), args.end(), "--timeout") == args.end()) {
    args.push_back("--timeout");
    args.push_back(std::to_string(seconds / 2));
  }
  return RunChild(ZLPOLL_PROGRAM, args, Env(), seconds);
}

std::vector<JsonValue> PollLine::RunJson(std::vector<std::string> args, int expectedExit) {
  args.push_back("--json");
  const ChildResult r = Run(args);
  EXPECT_EQ(r.Exit, expectedExit) << r.Err;
  std::vector<JsonValue> out;
  std::istringstream lines(r.Out);
  for (std::string line; std::getline(lines, line);) {
    JsonValue v;
    EXPECT_TRUE(ParseJson(line, v)) << line;
    out.push_back(v);
  }
  return out;
}

const JsonValue *FindObject(const JsonValue &reading, const std::string &group,
                            const std::string &object) {
  for (const JsonValue &o : reading["objects"].array)
    if (o["group"].string == group && o["object"].string == object) return &o;
  return nullptr;
}

}  // namespace zl::test
