// The README's C example (examples/host_example.c), built by the C compiler
// against the public header and the shared library, run against the line.
#include "PollLine.h"

namespace zl::test {
namespace {

class HostExample : public PollLine {};

TEST_F(HostExample, ReadsTheBinaryInputsOfStationOne) {
  ASSERT_NO_FATAL_FAILURE(Start());
  for (int k = 0; k < 16; ++k) Controller(1).SetBinaryInput(k, k % 5 == 1);
  const ChildResult r =
      RunChild(HOST_EXAMPLE_PROGRAM, {Par()}, {"ZLNETDRV_DRIVE_C=" + dir_.path()});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  std::string expected = "BI";
  for (int i = 1; i <= 16; ++i) {
    expected += Controller(1).BinaryInput(i - 1) != Config(1).BinarInXor[i] ? " 1" : " 0";
  }
  EXPECT_EQ(r.Out, expected + "\n");
}

TEST_F(HostExample, ReportsInitsFailure) {
  const ChildResult r = RunChild(HOST_EXAMPLE_PROGRAM, {dir_.Write("empty.par", "")},
                                 {"ZLNETDRV_DRIVE_C=" + dir_.path()});
  EXPECT_EQ(r.Exit, 1);
  EXPECT_NE(r.Err.find("Init failed: "), std::string::npos) << r.Err;
}

}  // namespace
}  // namespace zl::test
