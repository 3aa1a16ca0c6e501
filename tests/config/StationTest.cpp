// [STATION] sections: counts, channels and every list loader.
#include <gtest/gtest.h>

#include "config/ParameterReader.h"
#include "config/ValueForms.h"
#include "driver/ParameterLoad.h"
#include "support/ConfigFixture.h"

namespace zl {
namespace {

using test::ConfigFixture;
using test::Cp;
using test::GlobalSection;
using test::StationSection;

bool LoadStation(ConfigFixture &f, std::string_view extra) {
  return f.Load(GlobalSection() + StationSection(test::Crlf(extra)));
}

std::string BadStationKeyword(std::string_view keyword) {
  return Cp("Chybná definice proměnné ") + std::string(keyword) + " / [STATION]";
}

TEST(Station, CountsAreClippedToTheirGroupsMaximum) {
  ConfigFixture f;
  ASSERT_TRUE(LoadStation(f,
                          "NUM_BINAR_IN 97\nNUM_BINAR_OUT 300\nNUM_ANALOG_IN 70\n"
                          "NUM_COUNTER_IN 49\nNUM_MEMORY_IN 50\nNUM_MEMORY_OUT 101"));
  const Station &st = f.St(1);
  EXPECT_EQ(st.NumBinarIn, 96);
  EXPECT_EQ(st.NumBinarOut, 44);  // the low 8 bits, below the maximum
  EXPECT_EQ(st.NumAnalogIn, 64);
  EXPECT_EQ(st.NumCounterIn, 48);
  EXPECT_EQ(st.NumMemoryIn, 45);
  EXPECT_EQ(st.NumMemoryOut, 100);

  std::string station = StationSection();
  station.replace(station.find("NUM_COUNTER_IN 0"), 16, "NUM_COUNTER_IN many");
  EXPECT_FALSE(f.Load(GlobalSection() + station));
  EXPECT_EQ(f.Error(), BadStationKeyword("NUM_COUNTER_IN"));
  EXPECT_EQ(f.St(1).NumCounterIn, 0);
}

TEST(Station, OriginalChannelsFollowTheSlotNumber) {
  ConfigFixture f;
  std::string file = GlobalSection() + StationSection("", 1) + StationSection("", 2) +
                     StationSection("CHANNEL_BO 7\nORIGINAL_CHANNELS\nCHANNEL_AI 9\nVideo 11", 9);
  ASSERT_TRUE(f.Load(file)) << f.Error();
  const Station &st = f.St(3);
  EXPECT_EQ(st.GroupChannels[kGroupBI], 1001);
  EXPECT_EQ(st.GroupChannels[kGroupBO], 1097);  // set before: overwritten
  EXPECT_EQ(st.GroupChannels[kGroupAI], 9);     // set after: kept
  EXPECT_EQ(st.GroupChannels[kGroupCT], 1257);
  EXPECT_EQ(st.GroupChannels[kGroupMI], 1405);
  EXPECT_EQ(st.GroupChannels[kGroupMO], 1305);
  EXPECT_EQ(st.StatusChannels[kErrorNoAnswer], 1450);
  EXPECT_EQ(st.StatusChannels[kErrCount], 1454);
  EXPECT_EQ(st.StatusChannels[kVideo], 11);
  EXPECT_EQ(st.StatusChannels[kOutReadAItolvin], 1460);
  EXPECT_EQ(st.StatusChannels[kOutWriteAllBOMO], 1480);
  EXPECT_EQ(st.MsgCounterChannel, 1481);
  EXPECT_EQ(st.NameChannel, 0);
  EXPECT_EQ(st.CallCodeChannel, 0);
  // Without ORIGINAL_CHANNELS or channel keywords every channel is 0.
  for (uint16_t c : f.St(1).GroupChannels) EXPECT_EQ(c, 0);
  for (uint16_t c : f.St(1).StatusChannels) EXPECT_EQ(c, 0);
  // Channel keywords in mixed case, as written or not.
  ASSERT_TRUE(LoadStation(f, "errornoanswer 5\nMSGCOUNTER 6\nName_Channel 7\nCallCode 8"));
  EXPECT_EQ(f.St(1).StatusChannels[kErrorNoAnswer], 5);
  EXPECT_EQ(f.St(1).MsgCounterChannel, 6);
  EXPECT_EQ(f.St(1).NameChannel, 7);
  EXPECT_EQ(f.St(1).CallCodeChannel, 8);
}

TEST(Station, InvertedBitLists) {
  struct Case {
    const char *list;
    bool defined;
    std::vector<int> bits;
  } cases[] = {
      {"NONE", true, {}},
      {"1 5 96", true, {1, 5, 96}},
      {"2\t3   $10", true, {2, 3, 16}},
      {"1 97", false, {1}},
      {"1 2 { inverted relays }", false, {1, 2}},
      {"0", false, {}},
  };
  for (const Case &c : cases) {
    ConfigFixture f;
    EXPECT_EQ(LoadStation(f, std::string("BINAR_OUT_XOR ") + c.list), c.defined) << c.list;
    if (!c.defined) {
      EXPECT_EQ(f.Error(), BadStationKeyword("BINAR_OUT_XOR"));
    }
    std::vector<int> bits;
    for (int n = 0; n <= kMaxBinaryOut; ++n)
      if (f.St(1).BinarOutXor[n]) bits.push_back(n);
    EXPECT_EQ(bits, c.bits) << c.list;
  }
}

TEST(Station, CounterAnalogAndPhoneLists) {
  ConfigFixture f;
  ASSERT_TRUE(LoadStation(f,
                          "DEF_COUNTER_IN\n 1 HOUR 0.5 100\n 2 year 2 x\nDEF_COUNTER_END\n"
                          "ANALOG_LIMITS\n 1 -10 110 0.5\n 64 0 1e3 0\nANALOG_LIMITS_END\n"
                          "PHONE d0601234567"))
      << f.Error();
  const Station &st = f.St(1);
  EXPECT_EQ(st.Counters[1].Kind, 2);
  EXPECT_DOUBLE_EQ(FromReal6(st.Counters[1].Factor), 0.5);
  EXPECT_DOUBLE_EQ(FromReal6(st.CounterValues[1]), 100.0);  // the start value, after the reset
  EXPECT_EQ(st.Counters[2].Kind, 8);
  EXPECT_EQ(st.Counters[2].StartValue, ToReal6(kInvalidReal));
  EXPECT_EQ(st.Counters[3].Kind, 1);
  EXPECT_DOUBLE_EQ(FromReal6(st.Counters[3].Factor), 1.0);
  EXPECT_DOUBLE_EQ(FromReal6(st.AnalogLimits[1].Low), -10.0);
  EXPECT_DOUBLE_EQ(FromReal6(st.AnalogLimits[1].High), 110.0);
  EXPECT_DOUBLE_EQ(FromReal6(st.AnalogLimits[1].Offset), 0.5);
  EXPECT_DOUBLE_EQ(FromReal6(st.AnalogLimits[64].High), 1000.0);
  EXPECT_EQ(st.AnalogLimits[2].High, ToReal6(155.08));
  EXPECT_TRUE(st.DialFlag);
  EXPECT_EQ(st.Phone.str(), "0601234567");
  EXPECT_EQ(f.Services.Lines().back(), "STANICE ST1 0601234567");

  ASSERT_TRUE(LoadStation(f, "ANALOG_LIMITS ANALOG_LIMITS_END\nPHONE 123456789012345678901234"));
  EXPECT_EQ(f.St(1).AnalogLimits[1].High, ToReal6(155.08));
  EXPECT_FALSE(f.St(1).DialFlag);
  EXPECT_EQ(f.St(1).Phone.str(), "12345678901234567890");
  ASSERT_TRUE(LoadStation(f, ""));
  EXPECT_EQ(f.St(1).AnalogLimits[1].High, ToReal6(100.0));
  EXPECT_EQ(f.Services.Lines().back(), "STANICE ST1 ");

  struct Bad {
    const char *lines, *keyword;
  } bad[] = {
      {"DEF_COUNTER_IN\n 49 REAL 1 0\nDEF_COUNTER_END", "DEF_COUNTER_IN"},
      {"DEF_COUNTER_IN\n 1 DAILY 1 0\nDEF_COUNTER_END", "DEF_COUNTER_IN"},
      {"ANALOG_LIMITS\n 65 0 1 0\nANALOG_LIMITS_END", "ANALOG_LIMITS"},
      {"ANALOG_LIMITS\n 1 0 high 0\nANALOG_LIMITS_END", "ANALOG_LIMITS"},
      {"ANALOG_LIMITS\n 1 0 -999999.9 0\nANALOG_LIMITS_END", "ANALOG_LIMITS"},
  };
  for (const Bad &b : bad) {
    EXPECT_FALSE(LoadStation(f, b.lines)) << b.lines;
    EXPECT_EQ(f.Error(), BadStationKeyword(b.keyword)) << b.lines;
  }
  // A later success of the same keyword defines it again.
  EXPECT_TRUE(LoadStation(f, std::string(bad[2].lines) + "\nANALOG_LIMITS NONE"));
}

TEST(Station, MemoryLists) {
  ConfigFixture f;
  ASSERT_TRUE(LoadStation(f,
                          "DEF_MEMORY_IN\n 5 300\n 6 302 byte\n ARRAY\n 7 FROM_GLOBAL WORD\n"
                          "DEF_MEMORY_END\nDEF_MEMORY_OUT\n ARRAY 1 $10 REAL\nDEF_MEMORY_END"))
      << f.Error();
  const Station &st = f.St(1);
  EXPECT_EQ(st.MemoryIn[5].Address, 300);
  EXPECT_EQ(st.MemoryIn[5].Type, kMemReal);
  EXPECT_EQ(st.MemoryIn[6].Address, 302);
  EXPECT_EQ(st.MemoryIn[6].Type, kMemByte);
  EXPECT_EQ(st.MemoryIn[7].Address, 40);
  EXPECT_EQ(st.MemoryIn[7].Type, kMemWord);
  EXPECT_TRUE(st.MemoryInBlockRead);
  EXPECT_EQ(st.MemoryOut[1].Address, 16);

  ASSERT_TRUE(LoadStation(f, "DEF_MEMORY_IN NONE"));
  for (int n = 1; n <= kMemoryListSize; ++n) {
    EXPECT_EQ(f.St(1).MemoryIn[n].Address, 0);
    EXPECT_EQ(f.St(1).MemoryIn[n].Type, kMemReal);
  }
  EXPECT_FALSE(f.St(1).MemoryInBlockRead);

  for (const char *bad : {"0 10", "101 10", "1 ten", "1 10 WORD 0 10"}) {
    EXPECT_FALSE(LoadStation(f, std::string("DEF_MEMORY_OUT\n ") + bad + "\nDEF_MEMORY_END"))
        << bad;
    EXPECT_EQ(f.Error(), BadStationKeyword("DEF_MEMORY_OUT")) << bad;
  }
}

TEST(Station, QqVariables) {
  ConfigFixture f;
  ASSERT_TRUE(LoadStation(f,
                          "QQ READ 2500 0 16 4 WORD\nqq write 2501 $FF 1 2 string\n"
                          "QQ BIDIR 2500 1 2 3 REAL\nQQ READ chan 300 x 1 BYTE"))
      << f.Error();
  const std::vector<QqVariable> &qq = f.St(1).QqVariables;
  ASSERT_EQ(qq.size(), 4u);
  EXPECT_EQ(qq[0].Channel, 2500);
  EXPECT_EQ(qq[0].Direction, kQqRead);
  EXPECT_EQ(qq[0].Type, kQqWord);
  EXPECT_EQ(qq[0].Address[1], 16);
  EXPECT_EQ(qq[1].Direction, kQqWrite);
  EXPECT_EQ(qq[1].Type, kQqString);
  EXPECT_EQ(qq[1].Address[0], 0xFF);
  EXPECT_EQ(f.St(1).QqValues.at(1).Text.str(), std::string(32, ' ') + '\0');
  EXPECT_EQ(qq[2].Channel, 2500);  // the same channel twice: both kept
  EXPECT_EQ(qq[3].Channel, 0);     // a channel that does not convert
  EXPECT_EQ(qq[3].Address[0], 44);
  EXPECT_EQ(qq[3].Address[1], 0);
  EXPECT_EQ(f.Services.Lines().back(), "  -> QQ/blok -> Zavro-Line2");

  const char *types[] = {"BYTE", "WORD", "INTEGER", "CARDINAL", "LONGINT", "REAL", "STRING"};
  for (int t = 0; t < 7; ++t) {
    ASSERT_TRUE(LoadStation(f, std::string("QQ READ 1 0 0 0 ") + types[t]));
    EXPECT_EQ(f.St(1).QqVariables.at(0).Type, t + 1);
  }
  for (const char *bad : {"QQ SIDEWAYS 1 0 0 0 BYTE", "QQ READ 1 0 0 0 FLOAT"}) {
    EXPECT_FALSE(LoadStation(f, bad)) << bad;
    EXPECT_EQ(f.Error(), BadStationKeyword("QQ"));
  }
  EXPECT_TRUE(LoadStation(f, "QQ READ 1 0 0 0 FLOAT\nQQ READ 1 0 0 0 BYTE"));
}

std::string Block(std::string_view inside) {
  return "MEMORY_BLOCK\n" + std::string(inside) + "\nMEMORY_BLOCK_END";
}

TEST(Station, MemoryBlocks) {
  ConfigFixture f;
  std::string good =
      "ADDR 1200 CHANNEL 3000 CHANNEL_READ 3100\nTYPES\n WORD INPUT\n REAL OUTPUT\n"
      " LONGINT BIDIR\nTYPES_END";
  ASSERT_TRUE(LoadStation(f, Block(good) + "\n" +
                                 Block("channel_read 2 types BYTE INPUT TYPES_END addr 5 "
                                       "CHANNEL 1 CHANNEL 9 junk")))
      << f.Error();
  const std::vector<MemoryBlock> &blocks = f.St(1).MemoryBlocks;
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].Address, 1200);
  EXPECT_EQ(blocks[0].FirstChannel, 3000);
  EXPECT_EQ(blocks[0].ReadChannel, 3100);
  EXPECT_EQ(blocks[0].Size, 9);
  EXPECT_EQ(blocks[0].ItemTypes.str(), "\x02\x06\x05");
  EXPECT_EQ(blocks[0].ItemDirections.str(), "\x01\x02\x03");
  EXPECT_EQ(blocks[1].FirstChannel, 9);  // the last one counts
  EXPECT_EQ(blocks[1].Address, 5);

  // 255 bytes fit the one-byte size of the block's read; one item more
  // does not, and the block is refused rather than read short.
  std::string longints;
  for (int i = 0; i < 63; ++i) longints += "LONGINT INPUT ";
  ASSERT_TRUE(LoadStation(f, Block("ADDR 1 CHANNEL 1 CHANNEL_READ 2 TYPES " + longints +
                                   "BYTE INPUT WORD INPUT TYPES_END")));
  EXPECT_EQ(f.St(1).MemoryBlocks.at(0).Size, 255);
  // 65 LONGINT items: 260 bytes, whose one-byte size would read 4.
  const std::string tooLong = longints + "LONGINT INPUT LONGINT INPUT ";

  std::string tooMany;
  for (int i = 0; i < 256; ++i) tooMany += "BYTE INPUT ";
  for (const std::string &bad : {
           Block("CHANNEL 1 CHANNEL_READ 2 TYPES BYTE INPUT TYPES_END"),
           Block("ADDR 65535 CHANNEL 1 CHANNEL_READ 2 TYPES BYTE INPUT TYPES_END"),
           Block("ADDR 1 CHANNEL 1 TYPES BYTE INPUT TYPES_END"),
           Block("ADDR 1 CHANNEL_READ 2 TYPES BYTE INPUT TYPES_END"),
           Block("ADDR 1 CHANNEL 1 CHANNEL_READ 2 TYPES TYPES_END"),
           Block("ADDR 1 CHANNEL 1 CHANNEL_READ 2 TYPES byte input TYPES_END"),
           Block("ADDR 1 CHANNEL 1 CHANNEL_READ 2 TYPES BYTE INPUT types_end"),
           Block("ADDR 1 CHANNEL 1 CHANNEL_READ 2 TYPES " + tooMany + "TYPES_END"),
           Block("ADDR 1 CHANNEL 1 CHANNEL_READ 2 TYPES " + tooLong + "TYPES_END"),
       }) {
    EXPECT_FALSE(LoadStation(f, bad)) << bad;
    EXPECT_EQ(f.Error(), BadStationKeyword("MEMORY_BLOCK")) << bad;
    EXPECT_TRUE(f.St(1).MemoryBlocks.empty());
  }
}

// The loaders' own texts, which END replaces in ErrorText: seen right after
// the loader has run.
TEST(Station, LoaderMessagesByteForByte) {
  struct Case {
    const char *text, *message;
  } cases[] = {
      {"QQ SIDEWAYS 1 2 3 4 WORD", "Proměnná ZAVRO-2 - chybná definice směru (READ/WRITE/BIDIR)"},
      {"QQ READ 1 2 3 4 FLOAT",
       "Proměnná ZAVRO-2 - chybná definice typu\r(BYTE,WORD,INTEGER,CARDINAL,LONGINT,REAL,STRING)"},
      {"DEF_MEMORY_IN 0 10 DEF_MEMORY_END", "Chybny soubor definici MEM IN/OUT"},
      {"DEF_COUNTER_IN 1 DAILY 1 0 DEF_COUNTER_END", "Chybny soubor definici MEMOUT"},
      {"ANALOG_LIMITS 1 0 x 0 ANALOG_LIMITS_END", "Chybna definice ANALOG_LIMITS"},
      {"MEMORY_BLOCK ADDR 1 MEMORY_BLOCK_END", "Chyba definice v sekci MEMORY_BLOCK"},
  };
  for (const Case &c : cases) {
    LoadContext di;
    ParameterSet set;
    SetDefaults(set);
    InitStationConfig(set.Stations.emplace_back(), 1);
    ParameterReader r(di, set, c.text);
    r.Next();
    int keyword = StationKeywords().Find(r.Item());
    r.Next();
    ApplyStationKeyword(r, set.Stations[0], 1, keyword);
    EXPECT_FALSE(r.Defined[keyword]) << c.text;
    EXPECT_EQ(std::string(di.ErrorText), Cp(c.message).substr(0, 80)) << c.text;
    EXPECT_EQ(di.ErrorText[80], '\0');
  }
}

}  // namespace
}  // namespace zl
