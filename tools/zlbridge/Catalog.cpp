#include "zlbridge/Catalog.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>

namespace zl::bridge {

using Json = nlohmann::json;

namespace {

std::string First(const Json &types) {
  return types.is_array() && !types.empty() && types[0].is_string() ? types[0].get<std::string>()
                                                                    : std::string();
}

// The command that reads a group and the flag its answer raises. Counters
// raise none.
struct ReadCommand {
  const char *Group, *Command, *Flag;
};
constexpr ReadCommand kReads[] = {{"bi", "out_read_BI", "bi_new_BI"},
                                  {"ai", "out_read_AI", "bi_new_AI"},
                                  {"ct", "out_read_CT", nullptr},
                                  {"mi", "out_read_KI", "bi_new_MI"}};

void AddObjects(const Json &st, StationEntry &e) {
  for (const Json &g : st.value("groups", Json::array())) {
    const std::string group = g.value("group", "");
    for (const Json &o : g.value("objects", Json::array())) {
      Object obj;
      obj.Group = group;
      obj.Index = o.value("object", 0);
      obj.Name = std::to_string(obj.Index);
      obj.Channel = o.value("channel", uint16_t{0});
      obj.ReadType = First(o.value("read", Json::array()));
      // Only the outputs are written by a set; the driver also takes a
      // counter's value, but that is a setting of the host, not of the line.
      if (group == "bo" || group == "mo") obj.WriteType = First(o.value("write", Json::array()));
      if (obj.ReadType.empty() && obj.WriteType.empty()) continue;
      e.Objects.push_back(obj);
      if (group == "bo") e.BinaryOutputReach = std::max(e.BinaryOutputReach, obj.Index);
    }
  }
  // Binary outputs leave in whole groups of eight, at most twelve.
  e.BinaryOutputReach = std::min(96, e.BinaryOutputReach / 8 * 8);
  int block = 0;
  for (const Json &b : st.value("memoryBlocks", Json::array())) {
    ++block;
    if (b.contains("read") && b["read"].is_object())
      e.Reads.push_back({"mb", {b["read"].value("channel", uint16_t{0})}, {}, 0});
    for (const Json &i : b.value("items", Json::array())) {
      Object obj;
      obj.Group = "mb";
      obj.Index = i.value("item", 0);
      obj.Name = std::to_string(block) + "." + std::to_string(obj.Index);
      obj.Channel = i.value("channel", uint16_t{0});
      obj.ReadType = First(i.value("read", Json::array()));
      obj.WriteType = First(i.value("write", Json::array()));
      if (!obj.ReadType.empty() || !obj.WriteType.empty()) e.Objects.push_back(obj);
    }
  }
  GroupRead qq{"qq", {}, {}, 0};
  for (const Json &v : st.value("variables", Json::array())) {
    Object obj;
    obj.Group = "qq";
    obj.Name = TopicLevel(v.value("address", ""));
    obj.Channel = v.value("channel", uint16_t{0});
    const std::string type = v.value("type", ""), direction = v.value("direction", "");
    // A LONGINT lives in the driver's second value; a STRING is read as text
    // and never written (the driver sends nothing for it).
    const std::string number = type == "LONGINT" ? "i32" : type == "STRING" ? "text" : "double";
    if (direction == "READ" || direction == "BIDIR") {
      obj.ReadType = number;
      qq.Requests.push_back(obj.Channel);
    }
    if ((direction == "WRITE" || direction == "BIDIR") && type != "STRING") obj.WriteType = number;
    if (!obj.ReadType.empty() || !obj.WriteType.empty()) e.Objects.push_back(obj);
  }
  if (!qq.Requests.empty()) e.Reads.push_back(qq);
}

}  // namespace

uint16_t StationEntry::Channel(const std::string &keyword) const {
  auto it = Channels.find(keyword);
  return it == Channels.end() ? 0 : it->second;
}

const Object *StationEntry::Find(const std::string &group, const std::string &name) const {
  for (const Object &o : Objects)
    if (o.Group == group && o.Name == name) return &o;
  return nullptr;
}

std::string TopicLevel(const std::string &name) {
  std::string out = name;
  for (char &c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '/' || c == '+' || c == '#' || c == ' ' || u < 0x20 || u == 0x7F) c = '_';
  }
  return out;
}

bool BuildCatalog(const Json &map, const std::string &gateway, Catalog &out, std::string &error) {
  if (!map.is_object() || !map.contains("stations") || !map["stations"].is_array()) {
    error = "the driver's channel map lists no stations";
    return false;
  }
  const Json &stations = map["stations"];
  std::string line = gateway;
  if (line.empty() && !stations.empty()) line = stations[0].value("gateway", "");
  std::set<std::string> taken;
  for (const Json &st : stations) {
    StationEntry e;
    e.Number = st.value("number", 0);
    e.Name = st.value("name", "");
    e.Gateway = st.value("gateway", "");
    if (e.Gateway != line) {
      out.Skipped.push_back("station " + std::to_string(e.Number) + " (" + e.Name +
                            ") is behind another gateway, " + e.Gateway);
      continue;
    }
    e.Dials = st.value("phone", "").rfind('D', 0) == 0;
    std::string topic = TopicLevel(e.Name);
    if (topic.empty() || taken.count(topic)) topic = std::to_string(e.Number);
    taken.insert(topic);
    e.Topic = topic;
    for (const Json &c : st.value("channels", Json::array())) {
      if (c.contains("item")) continue;  // the Video lines
      e.Channels[c.value("name", "")] = c.value("channel", uint16_t{0});
    }
    AddObjects(st, e);
    for (const ReadCommand &r : kReads) {
      std::string group = r.Group;
      // A dialling station reads memory outputs 1..8 back through "K", and
      // no memory inputs.
      if (group == "mi" && e.Dials) group = "mo";
      const bool has = std::any_of(e.Objects.begin(), e.Objects.end(),
                                   [&](const Object &o) { return o.Group == group; });
      const uint16_t command = e.Channel(r.Command);
      if (!has || !command) continue;
      e.Reads.push_back({group, {command}, {}, r.Flag ? e.Channel(r.Flag) : uint16_t{0}});
    }
    out.Stations.push_back(std::move(e));
  }
  if (out.Stations.empty()) {
    error = "no station of the parameter file is behind the gateway " +
            (line.empty() ? std::string("(none)") : line);
    return false;
  }
  return true;
}

}  // namespace zl::bridge
