// The loaded configuration's channel map as UTF-8 JSON for the host: what
// every channel number stands for and which value types a read (GetInput)
// and a write (OutputRequest) of it are served in.
//
// The map is read from the channel index the driver itself resolves channels
// through, so a channel that another station, a QQ variable or a fixed driver
// channel takes first is listed only where the driver really serves it.
// Without a loaded configuration the driver serves no channel: the map is
//   {"stations":[],"driverChannels":[],"diagnosticChannels":[]}
#ifndef ZL_EXCHANGE_CHANNELMAPJSON_H
#define ZL_EXCHANGE_CHANNELMAPJSON_H

#include <string>

namespace zl {

struct DriverInstance;

std::string ChannelMapJson(const DriverInstance &di);

}  // namespace zl

#endif  // ZL_EXCHANGE_CHANNELMAPJSON_H
