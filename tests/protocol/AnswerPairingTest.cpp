// A QQ read answer is decoded against the request frame it was stored with.
// When an unasked message has shifted answers and frames apart, an answer
// meets the frame of a later request, perhaps one to another station: its
// values must then not land in that station's variables of the same address.
#include <gtest/gtest.h>

#include "protocol/Decoder.h"
#include "protocol/RequestFrames.h"
#include "support/Bytes.h"
#include "support/ConfigFixture.h"
#include "support/EngineLine.h"

namespace zl::test {
namespace {

using namespace zl::test::engine;

TEST(AnswerPairing, AQqReadAnswerFillsVariablesOnlyOfTheStationItsFrameWentTo) {
  ConfigFixture cfg;
  ASSERT_TRUE(cfg.Load(EngineParameterFile())) << cfg.Error();
  // KOTELNA's WORD variable at 0 16 4 answers 42.
  const std::string answer = Answer(kKotelna, "Qq" + Bytes({42, 0, 0, 0}));
  const struct {
    uint8_t FrameStation;  // the station the paired frame went to
    float Stored;
  } cases[] = {{1, 42.0f}, {3, 0.0f}, {2, 0.0f}};
  for (const auto &c : cases) {
    SCOPED_TRACE(static_cast<int>(c.FrameStation));
    cfg.St(1).QqValues[0].Number = 0.0f;
    const QueuedRequest read{c.FrameStation, kReadQq, 0, Str255(Bytes({0, 16, 4})), nullptr, 0};
    const Str255 frame = BuildRequestFrame(cfg.Di, read);
    ASSERT_FALSE(frame.empty());
    EXPECT_EQ(DecodeResponse(cfg.Di, Str255(answer), frame), 1);  // the message itself is taken
    EXPECT_EQ(cfg.St(1).QqValues[0].Number, c.Stored);
  }
}

}  // namespace
}  // namespace zl::test
