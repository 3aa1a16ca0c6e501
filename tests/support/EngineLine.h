// The line the engine's tests run on: its parameter file, and ZL2 messages
// built by hand, byte by byte, independently of the driver's own coding.
#ifndef ZL_TESTS_SUPPORT_ENGINELINE_H
#define ZL_TESTS_SUPPORT_ENGINELINE_H

#include <cstdint>
#include <string>
#include <string_view>

namespace zl::test::engine {

constexpr uint8_t kDriverAddress = 30;
constexpr uint8_t kKotelna = 5;   // station 1: no phone number
constexpr uint8_t kCerpadla = 7;  // station 2: with a phone number
constexpr uint8_t kVodojem = 9;   // station 3: no phone number, few objects
inline const std::string kPrefix = "\x10\x02";
inline const std::string kSuffix = "\r";
inline const std::string kPreSuffix = "\x03";

// The timing lines of [GLOBAL] in the unit tests.
inline constexpr std::string_view kUnitTimings =
    " ANSWER_TIME 1.0\n SILENCE_WAIT 50\n SLEEP_TIME 60\n SLEEP_COUNT 3\n";

// The test line's parameter file, CR LF line ends: KOTELNA (every kind of
// object, QQ variables, a memory block), CERPADLA (a phone number) and
// VODOJEM, all behind 127.0.0.1:4001. timings go into [GLOBAL].
std::string EngineParameterFile(std::string_view timings = kUnitTimings);

// A message as a controller sends it (without PREFIX): first byte, LEN, the
// type letter, three routing bytes, the items, PRESUFFIX, the checksum. By
// default a "Y" answer to the driver from the station at that address.
std::string Answer(uint8_t station, std::string_view items, char type = 'Y',
                   uint8_t first = kDriverAddress, std::string_view presuffix = kPreSuffix);
// Any bytes with LEN set at offset 1 and the checksum appended.
std::string Sealed(std::string body);
// PREFIX + message + SUFFIX.
std::string Wire(std::string_view message);

}  // namespace zl::test::engine

#endif  // ZL_TESTS_SUPPORT_ENGINELINE_H
