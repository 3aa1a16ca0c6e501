#include "support/EngineFixture.h"

#include "port/DrivePath.h"
#include "protocol/Reception.h"
#include "support/TestSupport.h"

namespace zl::test {

EngineTest::EngineTest() {
  SetClock(&clock_);
  clock_.SetTime(12, 0, 0, 0);
}

EngineTest::~EngineTest() {
  SetClock(nullptr);
}

void EngineTest::Load() {
  ASSERT_TRUE(cfg_.Load(EngineParameterFile())) << cfg_.Error();
  cfg_.Di.Polling.LastTick = DayCentiseconds();
  cfg_.Di.Log.Enable();
  cfg_.Services.ClearAll();
}

std::string EngineTest::Log() const {
  return TempDir::Read(MapDrivePath("C:\\ZLNETDRV.LOG"));
}

int EngineTest::ReceiveAll() {
  int stored = 0;
  // Each call consumes a byte or a run of bytes; a few more calls than bytes
  // finish every phase.
  for (std::size_t calls = 0, limit = 3 * line_.incoming.size() + 8; calls < limit; ++calls) {
    if (ReceiveStep(cfg_.Di, line_)) ++stored;
  }
  return stored;
}

}  // namespace zl::test
