// zlbridge between the simulated line and a real broker: what a subscriber
// sees of every group, writes from .../set topics to the controllers, the
// answers to writes that cannot go, and a broker that goes away and comes back.
#include <cstring>

#include "BridgeLine.h"
#include "config/StationConfig.h"
#include "support/Bytes.h"
#include "support/HostSession.h"
#include "util/Encodings.h"

namespace zl::test {
namespace {

using Json = nlohmann::json;

// Known values in the controller of station 1 for the QQ variables and
// memory blocks, which a static controller leaves at 0.
void SetKnownValues(sim::ControllerModel &c) {
  demo::SetQqNumbers(c);
  for (uint8_t part = 0; part < 8; ++part) c.SetQqBytes(0, 17, part, {'A', 'B', 'C', 'D'});
  c.SetMemory(0x300, Bytes({0x34, 0x12, 0xFF, 0xFF, 0x41, 0x40, 0x00, 0x99}));
  c.SetMemory(0x320, Bytes({1, 2, 3, 4, 0xFE, 0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0xFF}));
}

bool IsFresh(const Json &record) {
  return record.is_object() && record.value("quality", "") == "fresh";
}

class Bridge : public BridgeLine {
 protected:
  // Every object of the station's groups read from the line has a fresh record.
  bool GroupsFresh(const std::string &station, const StationConfig &st) {
    auto group = [&](const char *g, int n) {
      for (int i = 1; i <= n; ++i)
        if (!IsFresh(Record(station, g, std::to_string(i)))) return false;
      return true;
    };
    return group("bi", st.NumBinarIn) && group("ai", st.NumAnalogIn) &&
           group("ct", st.NumCounterIn) && group("mi", st.NumMemoryIn);
  }
};

TEST_F(Bridge, EveryGroupArrivesAsTheControllerHoldsIt) {
  SetKnownValues(Controller(1));
  StartBridge({"--interval", "0.2"});
  const char *const kNames[] = {"", "KOTELNA", "VYMENIK"};
  ASSERT_TRUE(sub_.WaitFor([&] {
    return GroupsFresh("KOTELNA", Config(1)) && GroupsFresh("VYMENIK", Config(2)) &&
           IsFresh(Record("KOTELNA", "mb", "2.3")) && IsFresh(Record("KOTELNA", "qq", "00.11.00"));
  })) << "not every group arrived fresh";
  for (int n = 1; n <= 2; ++n) {
    const std::string name = kNames[n];
    sim::ControllerModel &c = Controller(n);
    const StationConfig &st = Config(n);
    for (int i = 1; i <= st.NumBinarIn; ++i)
      EXPECT_EQ(Record(name, "bi", std::to_string(i))["value"],
                c.BinaryInput(i - 1) != st.BinarInXor[i])
          << name << " bi " << i;
    for (int i = 1; i <= st.NumAnalogIn; ++i)
      EXPECT_EQ(Record(name, "ai", std::to_string(i))["value"].get<double>(),
                DecodeReal3(c.Memory(st.AnalogInAddr + 3 * (i - 1), 3)))
          << name << " ai " << i;
    for (int i = 1; i <= st.NumCounterIn; ++i) {
      const CounterDef &def = st.Counters[i];
      const double start = def.Kind == 1 ? 0.0 : FromReal6(def.StartValue);
      EXPECT_NEAR(Record(name, "ct", std::to_string(i))["value"].get<double>(),
                  start + FromReal6(def.Factor) * c.Counter(i - 1), 1e-9)
          << name << " ct " << i;
    }
    for (int i = 1; i <= st.NumMemoryIn; ++i) {
      const MemoryItemDef &m = st.MemoryIn[i];
      const std::string bytes = c.Memory(m.Address, 3);
      const double held = m.Type == kMemByte   ? static_cast<uint8_t>(bytes[0])
                          : m.Type == kMemWord ? static_cast<uint8_t>(bytes[0]) +
                                                     256.0 * static_cast<uint8_t>(bytes[1])
                                               : DecodeReal3(bytes);
      EXPECT_EQ(Record(name, "mi", std::to_string(i))["value"].get<double>(), held)
          << name << " mi " << i;
    }
    const Json state = Json::parse(sub_.Last[std::string(kBase) + "/" + name + "/state"]);
    EXPECT_TRUE(state["online"].get<bool>()) << state;
    EXPECT_FALSE(state["asleep"].get<bool>()) << state;
  }
  // QQ variables of every type, by their addresses; the WRITE one is not read.
  EXPECT_EQ(Record("KOTELNA", "qq", "00.10.00")["value"], 200);
  EXPECT_EQ(Record("KOTELNA", "qq", "00.10.01")["value"], 0x1234);
  EXPECT_EQ(Record("KOTELNA", "qq", "00.10.03")["value"], -2);
  EXPECT_EQ(Record("KOTELNA", "qq", "00.10.05")["value"], 123456);
  EXPECT_EQ(Record("KOTELNA", "qq", "00.10.09")["value"], 123456789);
  EXPECT_EQ(Record("KOTELNA", "qq", "00.11.00")["value"], "ABCDABCDABCDABCDABCDABCDABCDABCD");
  EXPECT_TRUE(Record("KOTELNA", "qq", "00.10.0D").is_null());
  // Memory block items, block.item.
  EXPECT_EQ(Record("KOTELNA", "mb", "1.1")["value"], 0x1234);
  EXPECT_EQ(Record("KOTELNA", "mb", "1.2")["value"], 0xFFFF);
  EXPECT_EQ(Record("KOTELNA", "mb", "1.3")["value"], 2.5);
  EXPECT_EQ(Record("KOTELNA", "mb", "1.4")["value"], 0x99);
  EXPECT_EQ(Record("KOTELNA", "mb", "2.1")["value"], 0x04030201);
  EXPECT_EQ(Record("KOTELNA", "mb", "2.3")["value"], -16);
  // Station 3 is behind the other gateway: another bridge's.
  for (const auto &[topic, payload] : sub_.Last)
    EXPECT_EQ(topic.find("CERPADLA"), std::string::npos) << topic;
  EXPECT_EQ(sub_.Last[std::string(kBase) + "/bridge"], "online");
}

// A set of each writable kind reaches the controller and is answered ok.
TEST_F(Bridge, SetsReachTheControllerAndAreAnswered) {
  StartBridge({"--interval", "0.5"});
  ASSERT_TRUE(sub_.WaitFor([&] { return IsFresh(Record("KOTELNA", "bi", "1")); }));
  sim::ControllerModel &c = Controller(1);

  // The binary outputs leave together: first all of them, from one message,
  // then one at a time, the others as they were set.
  c.SetBinaryOutput(0, true);
  Json r = Set("KOTELNA/bo", R"({"1": 0, "2": 1, "3": true, "4": 0, "5": 0, "6": 0, "7": 0,
                                 "8": false, "id": 7})");
  ASSERT_TRUE(r.value("ok", false)) << r;
  EXPECT_EQ(r["id"], 7);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(c.BinaryOutput(k), k == 1 || k == 2) << "bo " << k + 1;
  EXPECT_TRUE(sub_.WaitFor([&] {
    const Json bo = Record("KOTELNA", "bo", "2");
    return bo["value"] == true && IsFresh(bo);
  }));
  r = Set("KOTELNA/bo/2", "0");
  ASSERT_TRUE(r.value("ok", false)) << r;
  EXPECT_FALSE(c.BinaryOutput(1));
  EXPECT_TRUE(c.BinaryOutput(2));

  // The same value again still goes (the group command), with its id back.
  c.SetBinaryOutput(1, true);
  r = Set("KOTELNA/bo/2", R"({"value": false, "id": "again"})");
  ASSERT_TRUE(r.value("ok", false)) << r;
  EXPECT_EQ(r["id"], "again");
  EXPECT_FALSE(c.BinaryOutput(1));

  // Memory output 2 is a WORD at 0x203; twice the same value still goes.
  for (int round = 0; round < 2; ++round) {
    c.SetMemory(0x203, Bytes({0, 0}));
    r = Set("KOTELNA/mo/2", "513");
    ASSERT_TRUE(r.value("ok", false)) << r;
    EXPECT_EQ(c.Memory(0x203, 2), Bytes({0x01, 0x02})) << "round " << round;
  }

  // A WRITE QQ variable (REAL 0.16.13) and a BIDIR one (WORD 0.16.1).
  r = Set("KOTELNA/qq/00.10.0D", "-12.5");
  ASSERT_TRUE(r.value("ok", false)) << r;
  const sim::QqValue real = c.QqBytes(0, 16, 13);
  float f;
  std::memcpy(&f, real.data(), 4);
  EXPECT_EQ(f, -12.5f);
  r = Set("KOTELNA/qq/00.10.01", "4660");
  ASSERT_TRUE(r.value("ok", false)) << r;
  EXPECT_EQ(c.QqBytes(0, 16, 1), (sim::QqValue{0x34, 0x12, 0, 0}));

  // A memory block item: WORD BIDIR 1.2 at 0x302.
  r = Set("KOTELNA/mb/1.2", "43981");
  ASSERT_TRUE(r.value("ok", false)) << r;
  EXPECT_EQ(c.Memory(0x302, 2), Bytes({0xCD, 0xAB}));
}

// What cannot be written is answered with an error and sends no frame: only
// the good write after them reaches the line.
TEST_F(Bridge, BadSetsAreAnsweredAndSendNothing) {
  StartBridge({"--interval", "3600"});
  // The first reads of every group, then the line stays quiet.
  ASSERT_TRUE(sub_.WaitFor([&] {
    return GroupsFresh("KOTELNA", Config(1)) && IsFresh(Record("KOTELNA", "mb", "1.1")) &&
           IsFresh(Record("KOTELNA", "qq", "00.10.00")) && GroupsFresh("VYMENIK", Config(2));
  }));
  const uint64_t before = line_.Sim->Stats(1).Requests + line_.Sim->Stats(2).Requests;
  const struct {
    const char *Topic, *Payload, *Error;
  } kBad[] = {
      // The other outputs would go as 0 without anyone having said so.
      {"KOTELNA/bo/2", "1", "not set: 1 3 4 5 6 7 8"},
      {"KOTELNA/bo", R"({"1": 1, "2": 0})", "not set: 3 4 5 6 7 8"},
      {"KOTELNA/bo", R"({"9": 1})", "no binary output 9"},
      {"KOTELNA/bo", R"({"1": 2})", "takes 0 or 1"},
      {"KOTELNA/bo", "1", "JSON object"},
      {"KOTELNA/bo/2", "on", "not a JSON value"},
      {"KOTELNA/bo/2", "2", "0 or 1"},
      {"KOTELNA/bo/2", R"({"val": 1})", "no \"value\""},
      {"KOTELNA/bo/2", R"("1")", "not a number"},
      {"KOTELNA/bo/99", "1", "no writable object"},
      {"KOTELNA/bi/1", "1", "no writable object"},
      {"KOTELNA/qq/00.10.00", "1", "no writable object"},  // a READ variable
      {"KOTELNA/qq/00.11.00", "1", "no writable object"},  // a STRING
      {"KOTELNA/mb/1.4", "1", "no writable object"},       // an INPUT item
      {"KOTELNA/mb/1.1", "65536", "from 0 to 65535"},
      {"KOTELNA/mb/1.1", "1.5", "whole number"},
      {"NOSUCH/bo/1", "1", "no writable object"},
      {"KOTELNA/mo/1", "true", "not a boolean"},
  };
  for (const auto &b : kBad) {
    const Json r = Set(b.Topic, b.Payload);
    ASSERT_TRUE(r.is_object()) << b.Topic << " " << b.Payload;
    EXPECT_FALSE(r.value("ok", true)) << r;
    EXPECT_NE(r.value("error", "").find(b.Error), std::string::npos) << r;
    EXPECT_EQ(r.value("topic", ""), std::string(kBase) + "/" + b.Topic + "/set");
  }
  EXPECT_FALSE(Controller(1).BinaryOutput(1));
  const Json good =
      Set("KOTELNA/bo", R"({"1": 0, "2": 1, "3": 0, "4": 0, "5": 0, "6": 0, "7": 0, "8": 0})");
  ASSERT_TRUE(good.value("ok", false)) << good;
  EXPECT_TRUE(Controller(1).BinaryOutput(1));
  EXPECT_EQ(line_.Sim->Stats(1).Requests + line_.Sim->Stats(2).Requests, before + 1)
      << "only the good write is a frame";
}

// The broker goes away and comes back without what it retained: the bridge
// reconnects and publishes every value again, the ones that changed
// meanwhile with their new values.
TEST_F(Bridge, BrokerRestartLosesNoValue) {
  StartBridge({"--interval", "0.2", "--reconnect-max", "2"});
  ASSERT_TRUE(sub_.WaitFor([&] { return GroupsFresh("KOTELNA", Config(1)); }));
  const int connects = sub_.Connects;
  broker_->Stop();
  sim::ControllerModel &c = Controller(1);
  const StationConfig &st = Config(1);
  std::vector<bool> expected(static_cast<std::size_t>(st.NumBinarIn) + 1);
  for (int i = 1; i <= st.NumBinarIn; ++i) {
    const bool on = !Record("KOTELNA", "bi", std::to_string(i))["value"].get<bool>();
    c.SetBinaryInput(i - 1, on != st.BinarInXor[i]);
    expected[static_cast<std::size_t>(i)] = on;
  }
  sub_.Last.clear();
  ASSERT_TRUE(broker_->Start());
  auto arrived = [&] {
    if (sub_.Connects == connects) return false;
    for (int i = 1; i <= st.NumBinarIn; ++i) {
      const Json r = Record("KOTELNA", "bi", std::to_string(i));
      if (!r.is_object() || r["value"] != expected[static_cast<std::size_t>(i)]) return false;
    }
    return sub_.Last[std::string(kBase) + "/bridge"] == "online" &&
           !sub_.Last[std::string(kBase) + "/KOTELNA/ai/1"].empty();
  };
  EXPECT_TRUE(sub_.WaitFor(arrived)) << "the values after the restart did not all arrive";
}

// A broker that is not there when the bridge starts is tried again until it is.
TEST_F(Bridge, BrokerThatComesLaterIsReached) {
  broker_->Stop();
  StartBridge({"--interval", "0.2", "--reconnect-max", "2"});
  // The bridge tried the broker before it connected the gateway.
  ASSERT_TRUE(sub_.WaitFor([&] { return line_.Sim->LineStatistics()[0].Connections > 0; }));
  ASSERT_TRUE(broker_->Start());
  EXPECT_TRUE(sub_.WaitFor([&] {
    return sub_.Last[std::string(kBase) + "/bridge"] == "online" &&
           GroupsFresh("KOTELNA", Config(1));
  }));
}

}  // namespace
}  // namespace zl::test
