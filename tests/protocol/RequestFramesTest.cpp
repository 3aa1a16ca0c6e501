#include "protocol/RequestFrames.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "support/Bytes.h"
#include "support/ConfigFixture.h"
#include "support/TestSupport.h"
#include "util/Checksum.h"

namespace zl {
namespace {

using test::HexOf;
std::string B(std::initializer_list<int> b) {
  return test::Bytes(b);
}

constexpr uint8_t kRetranslation = 0x20;
constexpr uint8_t kOwnAddress = 0x10;
constexpr uint8_t kStationAddress = 7;

class Frames : public ::testing::Test {
 protected:
  Frames() {
    di.Global.Address = kOwnAddress;
    st = AddStation(1);
    st->Address = kStationAddress;
    st->Retranslation = kRetranslation;
  }

  Station *AddStation(int n) {
    Station *st = &di.MakeStation(n);
    if (n > di.StationCount) di.StationCount = static_cast<uint8_t>(n);
    return st;
  }

  std::string Frame(int32_t kind, int16_t index = 1, std::string_view data = {},
                    const MemoryBlock *definition = nullptr, uint8_t station = 1) {
    return HexOf(BuildRequestFrame(di, {station, kind, index, Str255(data), definition}).view());
  }

  // The frame around a command with empty PREFIX, PRESUFFIX and SUFFIX.
  static std::string Framed(const std::string &command) {
    std::string s = B({kRetranslation, 0, 'Y', kOwnAddress, kStationAddress, kOwnAddress});
    s += command;
    s[1] = static_cast<char>(s.size() - 1);
    uint8_t x = 0;
    for (char c : s) x ^= static_cast<uint8_t>(c);
    s.push_back(static_cast<char>(x));
    return HexOf(s);
  }

  DriverInstance di;
  Station *st = nullptr;
};

TEST_F(Frames, ReadMemoryOutputsIsNineBytes) {
  EXPECT_EQ(Frame(kReadMemoryOutputs),
            HexOf(B({0x20, 0x07, 0x59, 0x10, 0x07, 0x10, 0x4B, 0xFF, 0xCD})));
}

TEST_F(Frames, GroupMaskFollowsTheCount) {
  struct Case {
    unsigned count;
    uint8_t mask;
  } cases[] = {{0, 0},   {1, 0},    {7, 0},    {8, 1},    {15, 1},   {16, 3},  {24, 7},
               {48, 63}, {63, 127}, {64, 255}, {71, 255}, {72, 255}, {96, 255}};
  for (const Case &c : cases) EXPECT_EQ(GroupMask(c.count), c.mask) << c.count;
}

TEST_F(Frames, BinaryInputMask) {
  struct Case {
    uint8_t count;
    int mask;  // -1: no frame
  } cases[] = {{0, -1},   {1, 0},    {7, 0},  {8, 1},  {16, 3},
               {63, 127}, {64, 255}, {65, 0}, {80, 0}, {96, 0}};
  for (const Case &c : cases) {
    st->NumBinarIn = c.count;
    EXPECT_EQ(Frame(kReadBinaryInputs), c.mask < 0 ? "" : Framed(B({'B', c.mask}))) << int{c.count};
  }
}

TEST_F(Frames, CounterAndAnalogMasksWithTheirLimits) {
  struct Case {
    int32_t kind;
    uint8_t count;
    std::string command;  // empty: no frame
  } cases[] = {
      {kReadCounters, 0, ""},
      {kReadCounters, 7, B({'C', 0})},
      {kReadCounters, 48, B({'C', 63})},
      {kReadCounters, 49, ""},
      {kResetCounters, 0, ""},
      {kResetCounters, 7, B({'C', 128})},
      {kResetCounters, 16, B({'C', 131})},
      {kResetCounters, 48, B({'C', 191})},
      {kResetCounters, 49, ""},
      {kReadAnalogInputs, 0, ""},
      {kReadAnalogInputs, 9, B({'A', 1})},
      {kReadAnalogInputs, 64, B({'A', 255})},
      {kReadAnalogInputs, 65, ""},
  };
  for (const Case &c : cases) {
    st->NumCounterIn = st->NumAnalogIn = c.count;
    EXPECT_EQ(Frame(c.kind), c.command.empty() ? "" : Framed(c.command))
        << c.kind << " count " << int{c.count};
  }
}

TEST_F(Frames, AnalogBlockReadAtItsAddress) {
  st->AnalogInAddr = 0x0300;
  st->NumAnalogIn = 0;
  EXPECT_EQ(Frame(kReadAnalogBlock), "");
  st->NumAnalogIn = 64;
  EXPECT_EQ(Frame(kReadAnalogBlock), Framed(B({'N', 0x00, 0x03, 192})));
  st->NumAnalogIn = 100;  // 300 cut to 8 bits
  EXPECT_EQ(Frame(kReadAnalogBlock), Framed(B({'N', 0x00, 0x03, 44})));
}

TEST_F(Frames, BinaryOutputsCarryTheirStates) {
  st->BinaryOut[0] = 1;
  st->BinaryOut[9] = 2;  // any value but 0 is on
  st->BinaryOut[15] = 1;
  st->BinaryOut[95] = 1;
  st->NumBinarOut = 96;  // mask 0: all twelve groups
  EXPECT_EQ(Frame(kWriteBinaryOutputs),
            Framed(B({'b', 0, 0x01, 0x82, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80})));
  st->NumBinarOut = 16;
  EXPECT_EQ(Frame(kWriteBinaryOutputs), Framed(B({'b', 3, 0x01, 0x82})));
  st->NumBinarOut = 5;  // below 8: mask 0 as well
  EXPECT_EQ(Frame(kWriteBinaryOutputs),
            Framed(B({'b', 0, 0x01, 0x82, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80})));
  st->NumBinarOut = 64;
  EXPECT_EQ(Frame(kWriteBinaryOutputs), Framed(B({'b', 255, 0x01, 0x82, 0, 0, 0, 0, 0, 0})));
  st->NumBinarOut = 0;
  EXPECT_EQ(Frame(kWriteBinaryOutputs), "");
}

TEST_F(Frames, MemoryOutputValueByType) {
  st->NumMemoryOut = 3;
  struct Case {
    uint8_t type;
    double value;
    std::string command;
  } cases[] = {
      {kMemByte, 300.7, B({'n', 0x2C, 0x01, 1, 255})},
      {kMemByte, -4, B({'n', 0x2C, 0x01, 1, 0})},
      {kMemByte, 254.99, B({'n', 0x2C, 0x01, 1, 254})},
      {kMemWord, 1000.9, B({'n', 0x2C, 0x01, 2, 232, 3})},
      {kMemWord, 70000, B({'n', 0x2C, 0x01, 2, 0xFF, 0xFF})},
      {kMemWord, -0.5, B({'n', 0x2C, 0x01, 2, 0, 0})},
      {kMemReal, 3.7, B({'n', 0x2C, 0x01, 3, 0x41, 0xD9, 0x99})},
      {kMemReal, -1.0, B({'n', 0x2C, 0x01, 3, 0xC0, 0x00, 0x00})},
      {7, 5.0, ""},  // unknown type: the command is empty, the frame still goes
  };
  for (const Case &c : cases) {
    st->MemoryOut[2].Address = 300;
    st->MemoryOut[2].Type = c.type;
    st->MemoryOutValues[2] = ToReal6(c.value);
    EXPECT_EQ(Frame(kWriteMemoryOutput, 2), Framed(c.command)) << int{c.type} << " " << c.value;
  }
  st->NumMemoryOut = 0;
  EXPECT_EQ(Frame(kWriteMemoryOutput, 2), "");
}

TEST_F(Frames, IndexOutsideTheMemoryListsGivesNoFrame) {
  st->NumMemoryOut = 3;
  st->NumMemoryIn = 3;
  for (int16_t index : {0, -1, 101, 32767}) {
    EXPECT_EQ(Frame(kWriteMemoryOutput, index), "") << index;
    EXPECT_EQ(Frame(kReadMemoryInput, index), "") << index;
  }
  EXPECT_NE(Frame(kWriteMemoryOutput, 100), "");
  EXPECT_NE(Frame(kReadMemoryInput, 100), "");
}

TEST_F(Frames, MemoryInputsOneByOneOrAsABlock) {
  st->NumMemoryIn = 4;
  st->MemoryIn[1].Address = 0x1234;
  st->MemoryIn[2].Address = 300;
  st->MemoryIn[2].Type = kMemWord;
  EXPECT_EQ(Frame(kReadMemoryInput, 2), Framed(B({'N', 0x2C, 0x01, 2})));
  st->MemoryInBlockRead = true;  // the index plays no part
  EXPECT_EQ(Frame(kReadMemoryInput, 2), Framed(B({'N', 0x34, 0x12, 12})));
  EXPECT_EQ(Frame(kReadMemoryInput, 0), Framed(B({'N', 0x34, 0x12, 12})));
  st->NumMemoryIn = 0;
  EXPECT_EQ(Frame(kReadMemoryInput, 2), "");
}

TEST_F(Frames, AllMemoryOutputsAsThreeByteReals) {
  const double values[8] = {1.0, -1.0, 0.5, 0.0, 100.0, 0x1p70, 3.7, 1e-30};
  for (int i = 0; i < 8; ++i) st->MemoryOutValues[i + 1] = ToReal6(values[i]);
  st->MemoryOutValues[9] = ToReal6(9.0);  // not sent
  EXPECT_EQ(
      Frame(kWriteMemoryOutputs),
      Framed(B({'k',  0xFF, 0x40, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x00,
                0x00, 0x46, 0x90, 0x00, 0x7F, 0xFF, 0xFF, 0x41, 0xD9, 0x99, 0x01, 0x00, 0x00})));
}

TEST_F(Frames, QqRequestsCarryTheirDataVerbatim) {
  EXPECT_EQ(Frame(kWriteQq, 0, B({0, 16, 4, 3, 0, 0, 0})),
            Framed(B({'Q', 'Q', 0, 16, 4, 3, 0, 0, 0})));
  EXPECT_EQ(Frame(kReadQq, 0, B({0, 16, 4, 0, 16, 5})), Framed(B({'Q', 'q', 0, 16, 4, 0, 16, 5})));
}

TEST_F(Frames, MemoryBlockReadAndElementWrite) {
  MemoryBlock block;
  block.Address = 100;
  block.ItemTypes = B({kBlkWord, kBlkReal, kBlkByte, kBlkLongint});
  block.Size = 10;
  EXPECT_EQ(Frame(kReadMemoryBlock, 1, {}, &block), Framed(B({'N', 100, 0, 10})));
  EXPECT_EQ(Frame(kReadMemoryBlock, 1, {}, nullptr), "");

  const std::string slot = B({0x11, 0x22, 0x33, 0x44});
  struct Case {
    int16_t index;
    std::string command;
  } cases[] = {
      {1, B({'n', 100, 0, 2, 0x11, 0x22})},
      {2, B({'n', 102, 0, 3, 0x11, 0x22, 0x33})},
      {3, B({'n', 105, 0, 1, 0x11})},
      {4, B({'n', 106, 0, 4, 0x11, 0x22, 0x33, 0x44})},
      {0, ""},
      {5, ""},
      {-2, ""},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(Frame(kWriteBlockItem, c.index, slot, &block),
              c.command.empty() ? "" : Framed(c.command))
        << c.index;
  }
  // A short slot is filled with zero bytes.
  EXPECT_EQ(Frame(kWriteBlockItem, 4, B({0x11}), &block),
            Framed(B({'n', 106, 0, 4, 0x11, 0, 0, 0})));
  EXPECT_EQ(Frame(kWriteBlockItem, 1, slot, nullptr), "");
  // A bad type at or before the element makes the request invalid.
  block.ItemTypes = B({kBlkWord, 9, kBlkByte});
  EXPECT_NE(Frame(kWriteBlockItem, 1, slot, &block), "");
  EXPECT_EQ(Frame(kWriteBlockItem, 2, slot, &block), "");
  EXPECT_EQ(Frame(kWriteBlockItem, 3, slot, &block), "");
  // The address wraps in 16 bits.
  block.ItemTypes = B({kBlkCardinal, kBlkByte});
  block.Address = -2;
  EXPECT_EQ(Frame(kWriteBlockItem, 2, slot, &block), Framed(B({'n', 2, 0, 1, 0x11})));
}

TEST_F(Frames, SampleBlockReads) {
  struct Case {
    int32_t kind;
    uint16_t index;
  } cases[] = {{72, 0x8000},  {76, 0x80BA},  {80, 0x8174},
               {136, 0xBF36}, {140, 0x8000}, {144, 0xBF36}};
  for (const Case &c : cases) {
    EXPECT_EQ(Frame(c.kind, static_cast<int16_t>(c.index)),
              Framed(B({'Q', 'N', c.kind, c.index & 0xFF, c.index >> 8, 186})))
        << c.kind;
  }
}

TEST_F(Frames, CountsAllZeroGiveNoFrameForGroupKinds) {
  for (int32_t kind = 0; kind <= 7; ++kind) EXPECT_EQ(Frame(kind), "") << kind;
  // Kinds that never depend on counts still go.
  EXPECT_NE(Frame(kReadMemoryOutputs), "");
  EXPECT_NE(Frame(kWriteMemoryOutputs), "");
}

TEST_F(Frames, UnknownKindsAndStationsGiveNoFrame) {
  st->NumBinarIn = 8;
  EXPECT_NE(Frame(kReadBinaryInputs), "");
  for (int32_t kind : {10, 14, 19, 73, 255}) EXPECT_EQ(Frame(kind), "") << kind;
  EXPECT_EQ(Frame(kReadBinaryInputs, 1, {}, nullptr, 0), "") << "station 0";
  EXPECT_EQ(Frame(kReadBinaryInputs, 1, {}, nullptr, 2), "") << "beyond StationCount";
  EXPECT_EQ(Frame(kReadMemoryOutputs, 1, {}, nullptr, 200), "") << "beyond the table";
}

TEST_F(Frames, PrefixPresuffixAndSuffixPlacement) {
  di.Global.Prefix = B({0xAA, 0x55});
  di.Global.PreSuffix = B({0x01, 0x02});
  di.Global.Suffix = B({0x0D});
  Str255 frame;
  {
    QueuedRequest r;
    r.Station = 1;
    r.Kind = kReadMemoryOutputs;
    frame = BuildRequestFrame(di, r);
  }
  const std::string f = frame.str();
  ASSERT_EQ(f.size(), 2u + 10u + 1u + 1u);
  EXPECT_EQ(f.substr(0, 2), B({0xAA, 0x55}));
  EXPECT_EQ(f.substr(2, 10), B({0x20, 9, 'Y', 0x10, 0x07, 0x10, 'K', 0xFF, 0x01, 0x02}));
  // The checksum covers RETRANSLATION through PRESUFFIX, LEN included.
  uint8_t x = 0;
  for (char c : f.substr(2, 10)) x ^= static_cast<uint8_t>(c);
  EXPECT_EQ(static_cast<uint8_t>(f[12]), x);
  EXPECT_TRUE(MessageChecksumOk(f.substr(2, 11)));
  EXPECT_EQ(f.back(), '\x0D');
}

TEST_F(Frames, NoFrameExceeds255Bytes) {
  di.Global.Prefix = std::string(100, 'p');
  di.Global.PreSuffix = std::string(20, 's');
  di.Global.Suffix = std::string(50, 'x');
  EXPECT_EQ(BuildRequestFrame(di,
                              [] {
                                QueuedRequest r;
                                r.Station = 1;
                                r.Kind = kReadQq;
                                r.Data = std::string(180, '\x01');
                                return r;
                              }())
                .size(),
            255u);
}

TEST_F(Frames, DebugLinesNameStationAndKindAlsoForEmptyFrames) {
  test::TempDir dir;
  di.Log.Enable();
  st->NumMemoryIn = 2;
  st->MemoryIn[2].Address = 300;
  Frame(kReadCounters);  // no counters: empty frame
  Frame(kReadMemoryInput, 2);
  st->MemoryInBlockRead = true;
  st->MemoryIn[1].Address = 12345;
  Frame(kReadMemoryInput, 1);
  Frame(kReadSamplesAlt3, 0);
  di.Log.Disable();
  const std::string log = test::TempDir::Read(dir.File("ZLNETDRV.LOG"));
  EXPECT_NE(log.find("CodeMess : STadr:007 typ:002\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("CodeMess MI, adr :   300\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("CodeMess : STadr:007 typ:006\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("CodeMess MI whole block, adr : 12345\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("CodeMess : STadr:007 typ:144\r\n"), std::string::npos) << log;
  // The address line comes before the station line of the same request.
  EXPECT_LT(log.find("CodeMess MI, adr"), log.find("typ:006"));
}

// The records as the parameter file's reader fills them.
TEST(FramesFromParameterFile, MemoryBlockAndMemoryInputs) {
  test::ConfigFixture f;
  ASSERT_TRUE(f.Load(test::GlobalSection() +
                     test::StationSection("NUM_MEMORY_IN 2\n"
                                          "DEF_MEMORY_IN 1 500 WORD 2 502 BYTE DEF_MEMORY_END\n"
                                          "MEMORY_BLOCK ADDR 100 CHANNEL 3000 CHANNEL_READ 3100\n"
                                          " TYPES WORD OUTPUT REAL OUTPUT BYTE OUTPUT TYPES_END\n"
                                          "MEMORY_BLOCK_END",
                                          7)))
      << f.Error();
  ASSERT_EQ(f.St(1).MemoryBlocks.size(), 1u);
  const MemoryBlock *block = &f.St(1).MemoryBlocks[0];
  // SUFFIX $0D, own ADDRESS 0, station ADDRESS 7, RETRANSLATION 0.
  auto frame = [&](int32_t kind, int16_t index, std::string_view data) {
    return HexOf(BuildRequestFrame(f.Di, {1, kind, index, Str255(data), block}).view());
  };
  auto framed = [](const std::string &command) {
    std::string s = B({0, 0, 'Y', 0, 7, 0}) + command;
    s[1] = static_cast<char>(s.size() - 1);
    s.push_back(static_cast<char>(XorChecksum(s)));
    return HexOf(s + "\r");
  };
  EXPECT_EQ(frame(kWriteBlockItem, 3, B({0x2A, 0, 0, 0})), framed(B({'n', 105, 0, 1, 0x2A})));
  EXPECT_EQ(frame(kReadMemoryBlock, 1, ""), framed(B({'N', 100, 0, 6})));
  EXPECT_EQ(frame(kReadMemoryInput, 2, ""), framed(B({'N', 0xF6, 0x01, 1})));
}

}  // namespace
}  // namespace zl
