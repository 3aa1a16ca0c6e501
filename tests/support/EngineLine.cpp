#include "support/EngineLine.h"

#include "support/ConfigFixture.h"
#include "util/Checksum.h"

namespace zl::test::engine {

std::string EngineParameterFile(std::string_view timings) {
  std::string text =
      "[GLOBAL]\n"
      " PREFIX $10$02\n SUFFIX $0D\n PRESUFFIX $03\n ADDRESS 30\n"
      " DEF_ANALOG_IN_ADDR 40\n" +
      std::string(timings) +
      "\nEND\n"
      "[STATION]\n"
      " ADDRESS 5\n RETRANSLATION 0\n NAME \"KOTELNA\"\n"
      " NUM_BINAR_IN 96\n NUM_BINAR_OUT 16\n NUM_ANALOG_IN 16\n NUM_COUNTER_IN 16\n"
      " NUM_MEMORY_IN 3\n NUM_MEMORY_OUT 8\n"
      " BINAR_IN_XOR NONE\n BINAR_OUT_XOR NONE\n DEF_ANALOG_IN_ADDR FROM_GLOBAL\n"
      " DEF_MEMORY_IN\n  1 $0100 WORD\n  2 $0102 REAL\n  3 $0105 BYTE\n DEF_MEMORY_END\n"
      " DEF_MEMORY_OUT\n  1 $0200\n  2 $0203\n  3 $0206\n  4 $0209\n  5 $020C\n  6 $020F\n"
      "  7 $0212\n  8 $0215\n DEF_MEMORY_END\n"
      " DEF_COUNTER_IN\n  1 REAL 0.5 0\n  2 HOUR 2 10\n DEF_COUNTER_END\n"
      " ANALOG_LIMITS\n  1 0 100 0\n  2 -50 50 10\n ANALOG_LIMITS_END\n"
      " QQ READ 2500 0 16 4 WORD\n"
      " QQ BIDIR 2501 0 16 8 REAL\n"
      " QQ READ 2502 0 32 252 STRING\n"
      " QQ WRITE 2503 0 16 12 INTEGER\n"
      " QQ READ 2504 0 16 16 LONGINT\n"
      " QQ READ 2505 0 16 20 CARDINAL\n"
      " MEMORY_BLOCK\n  ADDR $0300\n  CHANNEL 3000\n  CHANNEL_READ 3099\n"
      "  TYPES\n   WORD BIDIR\n   REAL INPUT\n   BYTE INPUT\n  TYPES_END\n MEMORY_BLOCK_END\n"
      " IP \"127.0.0.1\"\n PORT 4001\n"
      "END\n"
      "[STATION]\n"
      " ADDRESS 7\n RETRANSLATION 3\n NAME \"CERPADLA\"\n"
      " NUM_BINAR_IN 16\n NUM_BINAR_OUT 8\n NUM_ANALOG_IN 0\n NUM_COUNTER_IN 8\n"
      " NUM_MEMORY_IN 0\n NUM_MEMORY_OUT 0\n"
      " BINAR_IN_XOR NONE\n BINAR_OUT_XOR NONE\n DEF_ANALOG_IN_ADDR 48\n"
      " DEF_MEMORY_IN NONE\n DEF_MEMORY_OUT NONE\n DEF_COUNTER_IN NONE\n"
      " PHONE \"123\"\n"
      " IP \"127.0.0.1\"\n PORT 4001\n"
      "END\n"
      "[STATION]\n"
      " ADDRESS 9\n RETRANSLATION 0\n NAME \"VODOJEM\"\n"
      " NUM_BINAR_IN 8\n NUM_BINAR_OUT 0\n NUM_ANALOG_IN 0\n NUM_COUNTER_IN 0\n"
      " NUM_MEMORY_IN 0\n NUM_MEMORY_OUT 0\n"
      " BINAR_IN_XOR NONE\n BINAR_OUT_XOR NONE\n DEF_ANALOG_IN_ADDR 56\n"
      " DEF_MEMORY_IN NONE\n DEF_MEMORY_OUT NONE\n DEF_COUNTER_IN NONE\n"
      " IP \"127.0.0.1\"\n PORT 4001\n"
      "END\n";
  return Crlf(text);
}

std::string Sealed(std::string body) {
  if (body.size() >= 2) body[1] = static_cast<char>(body.size() - 1);
  body += static_cast<char>(XorChecksum(body));
  return body;
}

std::string Answer(uint8_t station, std::string_view items, char type, uint8_t first,
                   std::string_view presuffix) {
  std::string m;
  m += static_cast<char>(first);
  m += '\0';
  m += type;
  m += '\0';  // the station's retranslation byte
  m += static_cast<char>(kDriverAddress);
  m += static_cast<char>(station);
  m += items;
  m += presuffix;
  return Sealed(m);
}

std::string Wire(std::string_view message) {
  return kPrefix + std::string(message) + kSuffix;
}

}  // namespace zl::test::engine
