// A small line for the simulator's tests: two stations behind one gateway
// endpoint and a third behind another, framed with a two-byte PREFIX, a
// one-byte PRESUFFIX and a CR SUFFIX. Requests are built by hand here, byte
// by byte, independently of the driver's frame builder.
#ifndef ZL_TESTS_ZLSIM_SIMFIXTURE_H
#define ZL_TESTS_ZLSIM_SIMFIXTURE_H

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "WireClient.h"
#include "support/Bytes.h"
#include "zlsim/Simulator.h"

namespace zl::test {

inline const std::string kPrefix = "\x10\x02";
inline const std::string kSuffix = "\r";
inline const std::string kPreSuffix = "\x03";
constexpr uint8_t kDriver = 30;

inline ParameterSet TestConfig() {
  ParameterSet c;
  c.Global.Prefix = Str255(kPrefix);
  c.Global.Suffix = Str255(kSuffix);
  c.Global.PreSuffix = Str255(kPreSuffix);
  c.Global.Address = kDriver;

  auto variable = [](uint8_t a2, uint8_t a3, uint8_t type, uint8_t direction) {
    QqVariable v;
    v.Address[1] = a2;
    v.Address[2] = a3;
    v.Type = type;
    v.Direction = direction;
    return v;
  };
  StationConfig a;
  a.Name = ShortStr<80>("KOTELNA");
  a.Address = 5;
  a.Retranslation = 0;
  a.NumBinarIn = 16;
  a.NumBinarOut = 16;
  a.NumAnalogIn = 4;
  a.NumCounterIn = 16;
  a.NumMemoryIn = 2;
  a.NumMemoryOut = 2;
  a.AnalogInAddr = 40;
  a.MemoryIn[1] = {100, kMemWord};
  a.MemoryIn[2] = {102, kMemReal};
  a.MemoryOut[1] = {200, kMemByte};
  a.MemoryOut[2] = {201, kMemReal};
  a.QqVariables = {variable(16, 4, kQqWord, kQqRead), variable(16, 8, kQqReal, kQqBidir),
                   variable(32, 252, kQqString, kQqRead)};
  a.MemoryBlocks.resize(1);
  a.MemoryBlocks[0].Address = 1200;
  a.MemoryBlocks[0].ItemTypes = Str255(std::string_view("\x02\x06", 2));
  a.MemoryBlocks[0].ItemDirections = Str255(std::string_view("\x01\x02", 2));
  a.Ip = ShortStr<15>("127.0.0.1");
  a.Port = 4001;

  StationConfig b = a;
  b.Name = ShortStr<80>("CERPADLA");
  b.Address = 7;
  b.Retranslation = 3;
  b.QqVariables.clear();
  b.MemoryBlocks.clear();

  StationConfig d = a;
  d.Name = ShortStr<80>("VODOJEM");
  d.Address = 9;
  d.Port = 4002;

  c.Stations = {a, b, d};
  return c;
}

// PREFIX, retranslation, LEN, "Y", driver, station, driver, command,
// PRESUFFIX, checksum, SUFFIX.
inline std::string Request(uint8_t retranslation, uint8_t station, std::string_view command,
                           uint8_t driver = kDriver) {
  std::string m;
  m += static_cast<char>(retranslation);
  m += '\0';
  m += 'Y';
  m += static_cast<char>(driver);
  m += static_cast<char>(station);
  m += static_cast<char>(driver);
  m += command;
  m += kPreSuffix;
  m[1] = static_cast<char>(m.size() - 1);
  uint8_t x = 0;
  for (char ch : m) x ^= static_cast<uint8_t>(ch);
  m += static_cast<char>(x);
  return kPrefix + m + kSuffix;
}

inline bool ChecksumGood(const std::string &m) {
  uint8_t x = 0;
  for (std::size_t i = 0; i + 1 < m.size(); ++i) x ^= static_cast<uint8_t>(m[i]);
  return !m.empty() && x == static_cast<uint8_t>(m.back());
}

// Checks an answer's frame (addresses, LEN, PRESUFFIX, checksum) and answers
// its items.
inline std::string AnswerItems(const std::string &m, uint8_t retranslation, uint8_t station) {
  EXPECT_GE(m.size(), 8u);
  if (m.size() < 8) return {};
  EXPECT_EQ(static_cast<uint8_t>(m[0]), kDriver);
  EXPECT_EQ(static_cast<uint8_t>(m[1]), m.size() - 2);
  EXPECT_EQ(m[2], 'Y');
  EXPECT_EQ(static_cast<uint8_t>(m[3]), retranslation);
  EXPECT_EQ(static_cast<uint8_t>(m[4]), kDriver);
  EXPECT_EQ(static_cast<uint8_t>(m[5]), station);
  EXPECT_EQ(m.substr(m.size() - 2, 1), kPreSuffix);
  EXPECT_TRUE(ChecksumGood(m));
  return m.substr(6, m.size() - 8);
}

// Polls until the condition holds or ten seconds have passed.
inline bool Eventually(const std::function<bool()> &condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

class SimTest : public ::testing::Test {
 protected:
  // Starts a simulator on ephemeral loopback ports; its values stand still
  // unless moving.
  void StartSim(sim::SimOptions options = {}, bool moving = false) {
    options.Ephemeral = true;
    options.BindAddress = "127.0.0.1";
    options.Static = !moving;
    sim_ = std::make_unique<sim::Simulator>(TestConfig(), options);
    std::string error;
    ASSERT_TRUE(sim_->Start(error)) << error;
  }
  std::unique_ptr<WireClient> Connect(uint16_t configuredPort = 4001) {
    auto c = std::make_unique<WireClient>(sim_->ActualPort(configuredPort));
    EXPECT_TRUE(c->Connected());
    return c;
  }
  // Sends a request and answers the items of station 1's answer.
  std::string Ask(WireClient &c, std::string_view command, uint8_t retranslation = 0,
                  uint8_t station = 5) {
    c.Send(Request(retranslation, station, command));
    std::string m = c.ReadMessage(kPrefix, kSuffix.size());
    EXPECT_FALSE(m.empty()) << "no answer";
    return m.empty() ? m : AnswerItems(m, retranslation, station);
  }

  std::unique_ptr<sim::Simulator> sim_;
};

}  // namespace zl::test

#endif  // ZL_TESTS_ZLSIM_SIMFIXTURE_H
