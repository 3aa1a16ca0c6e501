#include "zlbridge/Bridge.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <ctime>

#include "common/DriverLib.h"
#include "zlbridge/Values.h"

namespace zl::bridge {

using Json = nlohmann::json;

namespace {

// Diagnostic channels of the driver: the gateway connection is up; writes
// still queued.
constexpr uint16_t kChConnected = 488;
constexpr uint16_t kChWritesQueued = 497;

constexpr double kEventsEvery = 0.25;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

Clock::duration Span(double seconds) {
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

const char *QualityName(int q) {
  static const char *const kNames[] = {"never read", "fresh", "stale"};
  return kNames[q];
}

}  // namespace

std::string IsoTime(std::chrono::system_clock::time_point t) {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
  const std::time_t secs = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  ::gmtime_r(&secs, &tm);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<int>(ms % 1000));
  return text;
}

std::vector<std::string> NewLines(const std::vector<std::string> &before,
                                  const std::vector<std::string> &after) {
  // The longest end of before that after begins with.
  for (std::size_t skip = 0; skip <= before.size(); ++skip) {
    const std::size_t keep = before.size() - skip;
    if (keep > after.size()) continue;
    if (std::equal(before.begin() + static_cast<std::ptrdiff_t>(skip), before.end(), after.begin()))
      return {after.begin() + static_cast<std::ptrdiff_t>(keep), after.end()};
  }
  return after;
}

Bridge::Bridge(tools::DriverSession &driver, Mqtt &mqtt, Catalog catalog, BridgeSettings settings)
    : driver_(driver), mqtt_(mqtt), catalog_(std::move(catalog)), settings_(std::move(settings)) {
  stations_.reserve(catalog_.Stations.size());
  for (const StationEntry &e : catalog_.Stations) {
    StationState s;
    s.Entry = &e;
    for (const GroupRead &r : e.Reads) {
      GroupState &g = s.Groups[r.Group];
      g.Read.Group = r.Group;
      g.Read.Flag = r.Flag;
      g.Read.Commands.insert(g.Read.Commands.end(), r.Commands.begin(), r.Commands.end());
      g.Read.Requests.insert(g.Read.Requests.end(), r.Requests.begin(), r.Requests.end());
      auto it = settings_.Intervals.find(r.Group);
      g.Interval = it != settings_.Intervals.end() ? it->second : settings_.Interval;
    }
    for (const Object &o : e.Objects)
      if (!s.Groups.count(o.Group) && (o.Group == "bo" || o.Group == "mo"))
        s.Held[o.Group] = Quality::Never;
    stations_.push_back(std::move(s));
  }
}

std::string Bridge::TopicOf(const StationEntry &s, const Object &o) const {
  return Base() + "/" + s.Topic + "/" + o.Group + "/" + o.Name;
}

void Bridge::Publish(const std::string &topic, const std::string &payload, bool retain) {
  if (retain) retained_[topic] = payload;
  if (brokerUp_) mqtt_.Publish(topic, payload, retain);
}

int Bridge::Run(int signalFd) {
  auto nextScan = Clock::now();
  for (;;) {
    const auto now = Clock::now();
    const int wait = nextScan > now
                         ? static_cast<int>(std::ceil(
                               std::chrono::duration<double, std::milli>(nextScan - now).count()))
                         : 0;
    pollfd fds[3] = {
        {driver_.MessageFd(), POLLIN, 0}, {mqtt_.EventFd(), POLLIN, 0}, {signalFd, POLLIN, 0}};
    ::poll(fds, 3, wait);
    if (fds[2].revents & POLLIN) {
      signalfd_siginfo info;
      [[maybe_unused]] ssize_t n = ::read(signalFd, &info, sizeof info);
      return 0;
    }
    driver_.Pump(0);
    if (fds[1].revents & POLLIN) {
      for (const MqttEvent &e : mqtt_.TakeEvents()) {
        if (e.What == MqttEvent::Kind::Connected) {
          if (e.Code == 0) {
            OnBrokerConnected();
          } else {
            std::fprintf(stderr, "zlbridge: the broker refused the connection: %d\n", e.Code);
          }
        } else if (e.What == MqttEvent::Kind::Disconnected) {
          if (brokerUp_) std::fprintf(stderr, "zlbridge: lost the broker; reconnecting\n");
          brokerUp_ = false;
        } else {
          OnMessage(e.Topic, e.Payload);
        }
      }
    }
    if (Clock::now() >= nextScan) {
      Tick(Clock::now());
      nextScan = Clock::now() + Span(settings_.ScanEvery);
    }
  }
}

void Bridge::OnBrokerConnected() {
  brokerUp_ = true;
  std::fprintf(stderr, "zlbridge: connected to the broker\n");
  mqtt_.Subscribe(Base() + "/+/+/+/set");
  mqtt_.Subscribe(Base() + "/+/bo/set");
  // A broker that restarted may have lost what it retained: everything the
  // bridge holds goes out again, the availability first.
  mqtt_.Publish(AvailabilityTopic(), "online", true);
  for (const auto &[topic, payload] : retained_)
    if (topic != AvailabilityTopic()) mqtt_.Publish(topic, payload, true);
}

void Bridge::Answer(const std::string &topic, const Json &id, bool ok, const std::string &error,
                    const Json &value) {
  Json r = {{"topic", topic}, {"ok", ok}};
  if (!id.is_null()) r["id"] = id;
  if (!value.is_null()) r["value"] = value;
  if (!ok) r["error"] = error;
  Publish(ResultTopic(), r.dump(), false);
}

std::string Bridge::NotHeld(const StationState &s, const std::vector<int> &named) const {
  if (settings_.OthersOff) return {};
  std::string missing;
  for (int k = 1; k <= s.Entry->BinaryOutputReach; ++k) {
    const bool given = std::find(named.begin(), named.end(), k) != named.end();
    if (!given && !s.BoSet.count(k)) missing += " " + std::to_string(k);
  }
  if (missing.empty()) return {};
  return "the driver sends binary outputs 1-" + std::to_string(s.Entry->BinaryOutputReach) +
         " of " + s.Entry->Topic +
         " together and holds 0 for every output not set since the bridge started (not set:" +
         missing + "): set them together on " + Base() + "/" + s.Entry->Topic +
         "/bo/set, {\"1\": 0, \"2\": 1, ...}, or start the bridge with --others-off";
}

bool Bridge::CanSend(const StationState &s, const std::string &topic, const Json &id) {
  if (s.Online && !s.Asleep) return true;
  Answer(topic, id, false,
         "station " + s.Entry->Topic + (s.Asleep ? " is asleep" : " is not connected") +
             ": nothing was sent");
  return false;
}

void Bridge::Pend(StationState &s, const std::string &topic, const Json &id, const Json &value,
                  const std::string &group) {
  PendingWrite w;
  w.Topic = topic;
  w.Id = id;
  w.Value = value;
  w.Station = &s;
  w.Group = group;
  w.Deadline = Clock::now() + Span(settings_.WriteTimeout);
  w.Timeouts0 = Number(*s.Entry, "ErrorNoAnswer");
  writes_.push_back(std::move(w));
}

void Bridge::SendOutputs(StationState &s, const std::vector<std::pair<const Object *, bool>> &bo) {
  const double before = driver_.GetDouble(kChWritesQueued);
  for (const auto &[o, on] : bo) {
    driver_.PutBool(o->Channel, on);
    s.BoSet.insert(o->Index);
  }
  // The same values again, or a station with a phone number: the group
  // command sends every binary output the driver holds.
  if (driver_.GetDouble(kChWritesQueued) == before)
    driver_.PutBool(s.Entry->Channel("out_write_BO"), true);
}

void Bridge::OnGroupSet(StationState &s, const std::string &topic, const std::string &payload) {
  const Json j = Json::parse(payload, nullptr, false);
  const Json id = j.is_object() && j.contains("id") ? j["id"] : Json();
  if (!j.is_object()) {
    return Answer(topic, id, false,
                  "a group set takes a JSON object of output numbers and values, "
                  "{\"1\": 0, \"2\": 1, ...}");
  }
  std::vector<std::pair<const Object *, bool>> bo;
  std::vector<int> named;
  Json values = Json::object();
  for (const auto &[key, v] : j.items()) {
    if (key == "id") continue;
    const Object *o = s.Entry->Find("bo", key);
    if (!o) return Answer(topic, id, false, "no binary output " + key);
    if (o->Index > s.Entry->BinaryOutputReach) {
      return Answer(topic, id, false,
                    "binary output " + key +
                        " is never sent: the driver sends binary outputs in whole groups of "
                        "eight, outputs 1-" +
                        std::to_string(s.Entry->BinaryOutputReach));
    }
    uint64_t bytes = 0;
    double number = 0;
    std::string error;
    if (!(v.is_number() || v.is_boolean()) || !EncodeValue(v, "bool", bytes, number, error))
      return Answer(topic, id, false, "binary output " + key + ": takes 0 or 1 (or false or true)");
    bo.emplace_back(o, bytes != 0);
    named.push_back(o->Index);
    values[key] = bytes != 0;
  }
  if (bo.empty()) return Answer(topic, id, false, "the group set names no output");
  if (const std::string why = NotHeld(s, named); !why.empty()) return Answer(topic, id, false, why);
  if (!CanSend(s, topic, id)) return;
  SendOutputs(s, bo);
  Pend(s, topic, id, values, "bo");
}

void Bridge::OnMessage(const std::string &topic, const std::string &payload) {
  const std::string base = Base() + "/", tail = "/set";
  SetRequest req;
  std::string error;
  const bool parsed = ParsePayload(payload, req, error);
  if (topic.size() <= base.size() + tail.size() || topic.compare(0, base.size(), base) != 0 ||
      topic.compare(topic.size() - tail.size(), tail.size(), tail) != 0) {
    return Answer(topic, req.Id, false, "not a set topic of this bridge");
  }
  const std::string path = topic.substr(base.size(), topic.size() - base.size() - tail.size());
  const std::size_t a = path.find('/'), b = a == std::string::npos ? a : path.find('/', a + 1);
  auto stationNamed = [&](const std::string &name) -> StationState * {
    for (StationState &s : stations_)
      if (s.Entry->Topic == name) return &s;
    return nullptr;
  };
  if (a != std::string::npos && b == std::string::npos && path.substr(a + 1) == "bo") {
    if (StationState *s = stationNamed(path.substr(0, a))) return OnGroupSet(*s, topic, payload);
  }
  StationState *station = nullptr;
  const Object *object = nullptr;
  if (b != std::string::npos) {
    station = stationNamed(path.substr(0, a));
    if (station) object = station->Entry->Find(path.substr(a + 1, b - a - 1), path.substr(b + 1));
  }
  if (!object || object->WriteType.empty())
    return Answer(topic, req.Id, false, "no writable object has this topic");
  if (!parsed) return Answer(topic, req.Id, false, error);
  uint64_t bytes = 0;
  double number = 0;
  if (!EncodeValue(req.Value, object->WriteType, bytes, number, error))
    return Answer(topic, req.Id, false, error);
  const StationEntry &e = *station->Entry;
  if (object->Group == "bo") {
    if (object->Index > e.BinaryOutputReach) {
      return Answer(topic, req.Id, false,
                    "binary output " + object->Name +
                        " is never sent: the driver sends binary outputs in whole groups of "
                        "eight, outputs 1-" +
                        std::to_string(e.BinaryOutputReach));
    }
    if (const std::string why = NotHeld(*station, {object->Index}); !why.empty())
      return Answer(topic, req.Id, false, why);
    if (!CanSend(*station, topic, req.Id)) return;
    SendOutputs(*station, {{object, bytes != 0}});
    return Pend(*station, topic, req.Id, req.Value, "bo");
  }
  if (!CanSend(*station, topic, req.Id)) return;
  const double before = driver_.GetDouble(kChWritesQueued);
  driver_.Put(object->Channel, TypeCode(object->WriteType), bytes);
  if (object->Group == "mo" && driver_.GetDouble(kChWritesQueued) == before) {
    // The driver queues a memory output only when its value changes, and
    // builds the frame from the value it holds when it sends it: a detour
    // through another value queues the write.
    driver_.PutDouble(object->Channel, number == 0.0 ? 1.0 : 0.0);
    driver_.PutDouble(object->Channel, number);
  }
  Pend(*station, topic, req.Id, req.Value, object->Group);
}

void Bridge::FinishWrites(Clock::time_point now) {
  if (writes_.empty()) return;
  const bool idle = driver_.GetDouble(kChWritesQueued) == 0.0;
  std::vector<PendingWrite> open;
  for (PendingWrite &w : writes_) {
    const StationEntry &e = *w.Station->Entry;
    const bool failed = Number(e, "ErrorNoAnswer") > w.Timeouts0 || Flag(e, "in_last_com_err");
    if (!w.Station->Online) {
      Answer(w.Topic, w.Id, false, "the gateway connection was lost before the write was sent");
    } else if (idle) {
      if (failed) {
        Answer(w.Topic, w.Id, false, "station " + e.Topic + " did not answer the write");
      } else {
        if (w.Station->Held.count(w.Group)) w.Station->Held[w.Group] = Quality::Fresh;
        Answer(w.Topic, w.Id, true, {}, w.Value);
      }
    } else if (now >= w.Deadline) {
      Answer(w.Topic, w.Id, false, "the write was not sent within the write time-out");
    } else {
      open.push_back(std::move(w));
    }
  }
  writes_ = std::move(open);
}

void Bridge::KeepConnected(Clock::time_point now) {
  const bool line = driver_.GetDouble(kChConnected) == 1.0;
  bool all = true;
  for (StationState &s : stations_) {
    const uint16_t c = s.Entry->Channel("in_connected_modem");
    s.Online = line && c && driver_.GetBool(c) == 1;
    all = all && s.Online;
  }
  if (all) {
    connectWait_ = 2.0;
    return;
  }
  if (now < nextConnect_) return;
  // The driver has one gateway connection: every station asks for it, and the
  // connection, once made, brings each of them online. What was queued is
  // gone with the connect.
  for (StationState &s : stations_) {
    if (const uint16_t c = s.Entry->Channel("out_connect_modem")) driver_.PutBool(c, true);
    for (auto &[name, g] : s.Groups) {
      g.Pending = false;
      g.Next = now;
    }
  }
  std::fprintf(stderr, "zlbridge: connecting to the gateway %s\n",
               stations_.front().Entry->Gateway.c_str());
  nextConnect_ = now + Span(connectWait_);
  connectWait_ = std::min(connectWait_ * 2, settings_.ConnectMax);
}

double Bridge::Number(const StationEntry &e, const char *keyword) const {
  const uint16_t c = e.Channel(keyword);
  return c ? driver_.GetDouble(c) : 0.0;
}

double Bridge::StaleLimit(const GroupState &g) const {
  return std::max(3 * g.Interval, settings_.StaleAfter);
}

bool Bridge::Flag(const StationEntry &e, const char *keyword) const {
  const uint16_t c = e.Channel(keyword);
  return c && driver_.GetBool(c) == 1;
}

void Bridge::Poll(StationState &s, Clock::time_point now) {
  const StationEntry &e = *s.Entry;
  const double sent = Number(e, "MsgCounter"), timeouts = Number(e, "ErrorNoAnswer");
  const bool busy = Flag(e, "in_now_comm");
  for (auto &[name, g] : s.Groups) {
    if (g.Pending) {
      // A group without a flag goes out alone (below): it is answered once
      // the station has been sent a request since, has none in flight, and
      // has not timed out.
      const bool answered = g.Read.Flag ? driver_.GetBool(g.Read.Flag) == 1
                                        : sent > g.Sent0 && !busy && timeouts == g.Timeouts0;
      if (answered) {
        g.Pending = false;
        g.Q = Quality::Fresh;
        g.LastFresh = now;
      } else if (!s.Online || s.Asleep) {
        // The queues were emptied or the station is passed over: the read
        // goes again once the station can answer.
        g.Pending = false;
        g.Next = now;
      } else if (Seconds(now - g.Issued) > StaleLimit(g)) {
        // No sign of an answer for as long as the group may go unanswered:
        // ask again rather than wait for good (a group without a flag also
        // holds the station's other reads back).
        std::fprintf(stderr, "zlbridge: %s %s unanswered for %.0f s; asked again\n",
                     e.Topic.c_str(), name.c_str(), Seconds(now - g.Issued));
        g.Pending = false;
        g.Next = now;
      }
    }
    if (g.Pending || now < g.Next || !s.Online || s.Asleep) continue;
    // A group without a flag counts as answered by the station's next
    // answer, so it goes out alone: after the other reads of the station
    // and its writes are answered, and before any new one.
    bool busy = false, flaglessBusy = false;
    for (const auto &[other, o] : s.Groups) {
      busy = busy || o.Pending;
      flaglessBusy = flaglessBusy || (o.Pending && !o.Read.Flag);
    }
    if (!g.Read.Flag) {
      for (const PendingWrite &w : writes_) busy = busy || w.Station == &s;
      if (busy) continue;
    } else if (flaglessBusy) {
      continue;
    }
    if (g.Read.Flag) driver_.PutBool(g.Read.Flag, false);
    for (uint16_t c : g.Read.Commands) driver_.PutBool(c, true);
    for (uint16_t r : g.Read.Requests) driver_.Request(r);
    g.Pending = true;
    g.Issued = now;
    g.Sent0 = sent;
    g.Timeouts0 = timeouts;
    g.Next = now + Span(g.Interval);
  }
}

Bridge::Quality Bridge::QualityOf(const StationState &s, const std::string &group,
                                  Clock::time_point now) const {
  if (auto h = s.Held.find(group); h != s.Held.end()) {
    if (h->second == Quality::Never) return Quality::Never;
    return s.Online && !s.Asleep ? Quality::Fresh : Quality::Stale;
  }
  auto it = s.Groups.find(group);
  if (it == s.Groups.end() || it->second.Q == Quality::Never) return Quality::Never;
  const GroupState &g = it->second;
  if (!s.Online || s.Asleep || Seconds(now - g.LastFresh) > StaleLimit(g)) return Quality::Stale;
  return Quality::Fresh;
}

void Bridge::Scan(StationState &s, Clock::time_point now) {
  const auto wall = std::chrono::system_clock::now();
  for (const Object &o : s.Entry->Objects) {
    if (o.ReadType.empty()) continue;
    const Quality q = QualityOf(s, o.Group, now);
    // Nothing is published for a group read from the line before it has
    // been read: its value would be the driver's 0.
    if (q == Quality::Never && !s.Held.count(o.Group)) continue;
    const Json value = ReadValue(driver_, o.Channel, o.ReadType);
    const std::string topic = TopicOf(*s.Entry, o);
    std::string key = value.dump();
    key += '|';
    key += QualityName(static_cast<int>(q));
    std::string &last = values_[topic];
    if (last == key) continue;
    last = key;
    Json record = {
        {"value", value}, {"time", IsoTime(wall)}, {"quality", QualityName(static_cast<int>(q))}};
    Publish(topic, record.dump(), true);
  }
}

void Bridge::PublishState(StationState &s, Clock::time_point now) {
  const StationEntry &e = *s.Entry;
  const double sleep = Number(e, "SleepTime"), quiet = Number(e, "SilenceTime");
  const double timeouts = Number(e, "ErrorNoAnswer"), errors = Number(e, "ErrorInMess");
  s.Asleep = sleep > 0.0;
  // The driver counts the silence from its start: an answer has come once
  // the station has answered a read.
  bool answeredNow = false;
  for (const auto &[name, g] : s.Groups) answeredNow = answeredNow || g.Q != Quality::Never;
  if (answeredNow) {
    s.Answered = true;
    s.LastAnswer = std::chrono::system_clock::now() -
                   std::chrono::duration_cast<std::chrono::system_clock::duration>(Span(quiet));
  }
  Json state = {{"online", s.Online},
                {"asleep", s.Asleep},
                {"sleepSeconds", sleep},
                {"timeouts", timeouts},
                {"errors", errors},
                {"lastAnswer", s.Answered ? Json(IsoTime(s.LastAnswer)) : Json(nullptr)}};
  // Without the moving last answer: a change of anything else goes out at
  // once, the last answer at most every StateEvery seconds.
  Json key = state;
  key.erase("lastAnswer");
  const std::string keyText = key.dump();
  if (keyText == s.StatePayload && Seconds(now - s.StateSent) < settings_.StateEvery) return;
  s.StatePayload = keyText;
  s.StateSent = now;
  Publish(Base() + "/" + e.Topic + "/state", state.dump(), true);
}

void Bridge::PublishEvents() {
  const Json window = Json::parse(driver_.StatusWindowJson(), nullptr, false);
  if (window.is_discarded() || !window.contains("events")) return;
  std::vector<std::string> lines;
  for (const Json &l : window["events"])
    if (l.is_string()) lines.push_back(l.get<std::string>());
  for (const std::string &l : NewLines(events_, lines)) Publish(Base() + "/events", l, false);
  events_ = std::move(lines);
}

void Bridge::Tick(Clock::time_point now) {
  mqtt_.Retry();
  KeepConnected(now);
  for (StationState &s : stations_) {
    PublishState(s, now);
    Poll(s, now);
    Scan(s, now);
  }
  FinishWrites(now);
  if (now >= nextEvents_) {
    PublishEvents();
    nextEvents_ = now + Span(kEventsEvery);
  }
}

}  // namespace zl::bridge
