// What the bridge publishes and takes, worked out from the driver's channel
// map: for each station of the line its topic name, its objects (channel,
// the type they are read and written in, their topic), the commands that read
// each group and the flags their answers raise, and its status channels.
//
// Topics: PREFIX/LINE/STATION/GROUP/OBJECT, where STATION is the station's
// name from the parameter file (characters that MQTT or a shell treats
// specially become "_"), or its number when the name is empty or taken by an
// earlier station; GROUP is bi, bo, ai, ct, mo, mi, mb or qq; OBJECT is the
// object's number (1..), for a memory block item BLOCK.ITEM (both counted
// from 1 in the file's order), and for a QQ variable its address as the map
// gives it ("01.02.03").
#ifndef ZL_ZLBRIDGE_CATALOG_H
#define ZL_ZLBRIDGE_CATALOG_H

#include <cstdint>
#include <map>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

namespace zl::bridge {

struct Object {
  std::string Group;  // bi bo ai ct mo mi mb qq
  std::string Name;   // the topic's last level
  uint16_t Channel = 0;
  std::string ReadType;   // the type GetInput is asked for ("bool", "double", "text", ...)
  std::string WriteType;  // the type a set is written in; empty: not writable
  int Index = 0;          // the object's number within its group (bo: its place in the group rule)
};

// How one group of a station is read: command channels written 1, QQ
// channels asked for with InputRequest, and the flag the answer raises (0:
// none; the bridge then takes the station's answers as the sign).
struct GroupRead {
  std::string Group;
  std::vector<uint16_t> Commands;
  std::vector<uint16_t> Requests;
  uint16_t Flag = 0;
};

struct StationEntry {
  int Number = 0;
  std::string Name;     // as the file gives it
  std::string Topic;    // the STATION level of its topics
  std::string Gateway;  // "IP:PORT"
  bool Dials = false;   // a dialling station: memory outputs are read back, memory inputs are not
  std::vector<Object> Objects;
  std::vector<GroupRead> Reads;
  std::map<std::string, uint16_t> Channels;  // status and command channels by keyword
  int BinaryOutputReach = 0;  // outputs 1..reach leave together; those after never leave

  uint16_t Channel(const std::string &keyword) const;
  const Object *Find(const std::string &group, const std::string &name) const;
};

struct Catalog {
  std::vector<StationEntry> Stations;
  std::vector<std::string> Skipped;  // stations behind another gateway, for a warning
};

// Builds the catalog of the stations behind gateway ("IP:PORT"; empty: the
// first station's). False with a message when the map cannot be read or names
// no station there.
bool BuildCatalog(const nlohmann::json &map, const std::string &gateway, Catalog &out,
                  std::string &error);

// A name made fit for one topic level: "/", "+", "#", blanks and control
// characters become "_"; empty stays empty.
std::string TopicLevel(const std::string &name);

}  // namespace zl::bridge

#endif  // ZL_ZLBRIDGE_CATALOG_H
