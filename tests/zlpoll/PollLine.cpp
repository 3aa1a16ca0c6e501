#include "PollLine.h"

#include <algorithm>
#include <sstream>

#include "support/QuickDemoLine.h"

namespace zl::test {

void PollLine::Start(const std::string &answerTime) {
  std::string error;
  ASSERT_TRUE(line_.StartStatic(dir_, answerTime, error)) << error;
  ASSERT_TRUE(file_.Load(line_.HostFile, error)) << error;
}

void PollLine::TearDown() {
  if (line_.Sim) line_.Sim->Stop();
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
