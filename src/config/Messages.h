// The configuration's error texts, in Windows-1250 (converted once).
#ifndef ZL_CONFIG_MESSAGES_H
#define ZL_CONFIG_MESSAGES_H

#include <string>

namespace zl::msg {

const std::string &MissingGroup();     // + header
const std::string &MissingEnd();       // + header
const std::string &BadVariable();      // + keyword + " / " + header
const std::string &TooManyStations();  // a 101st [STATION]
const std::string &BadMemoryList();    // DEF_MEMORY_IN / DEF_MEMORY_OUT
const std::string &BadCounterList();   // DEF_COUNTER_IN
const std::string &BadAnalogLimits();  // ANALOG_LIMITS
const std::string &BadQqDirection();   // QQ
const std::string &BadQqType();        // QQ (longer than 80: cut where it is stored)
const std::string &BadMemoryBlock();   // MEMORY_BLOCK
const std::string &UnreadableFile();   // + file name
const std::string &BareLineFeeds();    // an event line: the file has LF line ends without CR

}  // namespace zl::msg

#endif  // ZL_CONFIG_MESSAGES_H
