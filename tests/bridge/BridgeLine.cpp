#include "BridgeLine.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>

#include "support/QuickDemoLine.h"

namespace zl::test {

using Json = nlohmann::json;

void BridgeLine::SetUp() {
  std::string error;
  ASSERT_TRUE(line_.StartStatic(dir_, "2.5", error)) << error;
  broker_ = std::make_unique<Broker>(dir_, ZL_MOSQUITTO_PROGRAM);
  ASSERT_TRUE(broker_->Start()) << "mosquitto did not listen on port " << broker_->Port();
  sub_.ResultTopic = std::string(kBase) + "/result";
  ASSERT_TRUE(sub_.Start(broker_->Port(), std::string(kBase) + "/#"));
  ASSERT_TRUE(sub_.WaitFor([&] { return sub_.Connects > 0; }));
}

void BridgeLine::TearDown() {
  if (bridge_) {
    bridge_->Signal(SIGTERM);
    const ChildResult r = bridge_->Wait(kPatience);
    EXPECT_EQ(r.Exit, 0) << r.Err;
    // What the bridge said and what the subscriber saw, on a failure (or
    // always with ZL_BRIDGE_TRACE set).
    if (HasFailure() || std::getenv("ZL_BRIDGE_TRACE")) {
      std::string seen;
      for (const auto &[topic, payload] : sub_.Last) seen += topic + " " + payload + "\n";
      std::fprintf(stderr, "zlbridge said:\n%sthe subscriber holds:\n%s", r.Err.c_str(),
                   seen.c_str());
    }
  }
  if (broker_) broker_->Stop();
  if (line_.Sim) line_.Sim->Stop();
}

void BridgeLine::StartBridge(const std::vector<std::string> &args) {
  std::vector<std::string> all = {
      line_.HostFile, "--broker", "127.0.0.1", "--port", std::to_string(broker_->Port()),
      "--line",       "test"};
  all.insert(all.end(), args.begin(), args.end());
  bridge_ = std::make_unique<ChildProcess>(
      ZLBRIDGE_PROGRAM, all,
      std::vector<std::string>{"ZLNETDRV_LIBRARY=" ZLNETDRV_LIBRARY_FILE,
                               "ZLNETDRV_DRIVE_C=" + dir_.path()});
  ASSERT_TRUE(bridge_->Started());
}

Json BridgeLine::Record(const std::string &station, const std::string &group,
                        const std::string &object) const {
  auto it = sub_.Last.find(std::string(kBase) + "/" + station + "/" + group + "/" + object);
  return it == sub_.Last.end() ? Json() : Json::parse(it->second, nullptr, false);
}

Json BridgeLine::Set(const std::string &topic, const std::string &payload) {
  const std::size_t before = sub_.Results.size();
  sub_.Publish(std::string(kBase) + "/" + topic + "/set", payload);
  if (!sub_.WaitFor([&] { return sub_.Results.size() > before; })) return Json();
  return sub_.Results.back();
}

}  // namespace zl::test
