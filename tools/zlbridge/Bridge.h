// The bridge's work on its own thread, the one that calls the driver: it
// keeps the gateway connected, reads every station's groups at their
// intervals, publishes each object's value as it changes, each station's
// state and the driver's event lines, and carries the writes that arrive on
// the .../set topics to the line, answering each on the result topic.
//
// A record is {"value": V, "time": "2026-12-09T20:01:02.345Z", "quality": Q}.
// The quality of a group that is read from the line is "never read" until its
// first answer, "fresh" while its reads are answered, and "stale" once the
// station is offline or asleep, or its reads have not been answered for three
// intervals (and at least --stale-after seconds). Binary outputs, and the
// memory outputs of a station that does not dial, are never read back: they
// are what the driver holds (0 at start), "never read" until a write of the
// group succeeds, then "fresh" (stale while the station is offline or asleep).
#ifndef ZL_ZLBRIDGE_BRIDGE_H
#define ZL_ZLBRIDGE_BRIDGE_H

#include <chrono>
#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "zlbridge/Catalog.h"
#include "zlbridge/Mqtt.h"

namespace zl::tools {
class DriverSession;
}

namespace zl::bridge {

using Clock = std::chrono::steady_clock;

struct BridgeSettings {
  std::string Prefix = "zlnetdrv";
  std::string Line;                         // the LINE level of the topics
  double Interval = 1.0;                    // seconds between reads of a group
  std::map<std::string, double> Intervals;  // by group, overriding Interval
  double StaleAfter = 10.0;                 // at least this long before a group goes stale
  double WriteTimeout = 10.0;               // a write not sent within it is answered as failed
  double StateEvery = 5.0;   // a station's state at least this often while it changes
  double ScanEvery = 0.02;   // the driver's holdings looked at this often
  double ConnectMax = 30.0;  // the longest wait between two gateway connects
  bool OthersOff = false;    // a binary output write may send the outputs never set as 0
};

class Bridge {
 public:
  Bridge(tools::DriverSession &driver, Mqtt &mqtt, Catalog catalog, BridgeSettings settings);

  // Runs until a signal arrives on signalFd; answers the exit code.
  int Run(int signalFd);

  std::string AvailabilityTopic() const { return Base() + "/bridge"; }
  std::string ResultTopic() const { return Base() + "/result"; }

 private:
  enum class Quality { Never, Fresh, Stale };
  struct GroupState {
    GroupRead Read;
    double Interval = 1.0;
    Clock::time_point Next{}, Issued{};
    double Sent0 = 0, Timeouts0 = 0;  // the station's requests sent and time-outs at the issue
    bool Pending = false;
    Quality Q = Quality::Never;
    Clock::time_point LastFresh{};
  };
  struct StationState {
    const StationEntry *Entry = nullptr;
    std::map<std::string, GroupState> Groups;  // the groups read from the line
    std::map<std::string, Quality> Held;       // bo, and mo when not read back
    std::set<int> BoSet;                       // binary outputs set since the bridge started
    bool Online = false, Asleep = false;
    double Timeouts = -1, Errors = -1;
    std::chrono::system_clock::time_point LastAnswer{};
    bool Answered = false;
    Clock::time_point StateSent{};
    std::string StatePayload;
  };
  struct PendingWrite {
    std::string Topic;
    nlohmann::json Id, Value;
    StationState *Station = nullptr;
    std::string Group;
    Clock::time_point Deadline;
    double Timeouts0 = 0;
  };

  std::string Base() const { return settings_.Prefix + "/" + settings_.Line; }
  std::string TopicOf(const StationEntry &s, const Object &o) const;

  void OnBrokerConnected();
  void OnMessage(const std::string &topic, const std::string &payload);
  void OnGroupSet(StationState &s, const std::string &topic, const std::string &payload);
  // Why a write of the named binary outputs would send outputs the bridge
  // was never told (the driver holds 0 for them); empty when it would not.
  std::string NotHeld(const StationState &s, const std::vector<int> &named) const;
  // Answers the write as failed when the station cannot take it.
  bool CanSend(const StationState &s, const std::string &topic, const nlohmann::json &id);
  void SendOutputs(StationState &s, const std::vector<std::pair<const Object *, bool>> &bo);
  void Pend(StationState &s, const std::string &topic, const nlohmann::json &id,
            const nlohmann::json &value, const std::string &group);
  void Answer(const std::string &topic, const nlohmann::json &id, bool ok, const std::string &error,
              const nlohmann::json &value = nullptr);

  void Tick(Clock::time_point now);
  void KeepConnected(Clock::time_point now);
  void Poll(StationState &s, Clock::time_point now);
  void Scan(StationState &s, Clock::time_point now);
  void PublishState(StationState &s, Clock::time_point now);
  void PublishEvents();
  void FinishWrites(Clock::time_point now);
  Quality QualityOf(const StationState &s, const std::string &group, Clock::time_point now) const;
  void Publish(const std::string &topic, const std::string &payload, bool retain);
  // A station's channel read as a number; 0 when the station has no such channel.
  double Number(const StationEntry &e, const char *keyword) const;
  // How long a group may go unanswered: three intervals, at least StaleAfter.
  double StaleLimit(const GroupState &g) const;
  // A station's status flag; false when the station has no such channel.
  bool Flag(const StationEntry &e, const char *keyword) const;

  tools::DriverSession &driver_;
  Mqtt &mqtt_;
  Catalog catalog_;
  BridgeSettings settings_;
  std::vector<StationState> stations_;
  std::map<std::string, std::string> retained_;  // every retained topic's last payload
  std::map<std::string, std::string> values_;    // the value and quality last published, by topic
  std::vector<PendingWrite> writes_;
  std::vector<std::string> events_;
  Clock::time_point nextEvents_{}, nextConnect_{};
  double connectWait_ = 1.0;
  bool brokerUp_ = false;
};

// UTC as "2026-12-09T20:01:02.345Z".
std::string IsoTime(std::chrono::system_clock::time_point t);

// The lines of after that follow the lines of before, when the list may have
// lost lines at its start in between.
std::vector<std::string> NewLines(const std::vector<std::string> &before,
                                  const std::vector<std::string> &after);

}  // namespace zl::bridge

#endif  // ZL_ZLBRIDGE_BRIDGE_H
