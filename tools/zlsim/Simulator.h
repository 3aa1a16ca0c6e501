// The ZL2 line gateway with its simulated controllers.
//
// Every distinct IP:PORT of the stations is one line: the simulator listens
// there, takes one client at a time (a new connection replaces the old one),
// and serves the stations configured behind that endpoint as one multi-drop
// line, one request at a time. A request is answered by the controller whose
// ADDRESS it names, when it comes from the driver's address, carries the
// station's retranslation byte, PRESUFFIX and a good checksum; anything else
// goes unanswered, as on a real line, and the driver's time-out handles it.
//
// One thread serves all lines (epoll); the models, the faults and the
// statistics may be read and changed from any thread while it runs.
#ifndef ZL_ZLSIM_SIMULATOR_H
#define ZL_ZLSIM_SIMULATOR_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/ParameterSet.h"
#include "zlsim/ControllerModel.h"
#include "zlsim/Endpoints.h"
#include "zlsim/SimOptions.h"

namespace zl::sim {

struct StationStats {
  uint64_t Requests = 0;     // well-formed requests for the station
  uint64_t Answers = 0;      // answers sent
  uint64_t Dropped = 0;      // requests left unanswered on purpose (--drop)
  uint64_t Corrupted = 0;    // answers sent with a wrong checksum
  uint64_t Noised = 0;       // answers sent after junk bytes
  uint64_t ErrorItems = 0;   // answers carrying the "E" item of --error-every
  uint64_t DeadIgnored = 0;  // requests not answered because the station is dead
  uint64_t ActiveSent = 0;   // active messages sent
  uint64_t Late = 0;         // answers held back until the line's next request (--late)
  uint64_t Acks = 0;         // correct acknowledgments of active messages
  uint64_t BadAcks = 0;      // acknowledgments with a wrong header, item or checksum
  uint64_t FaultsInjected() const { return Dropped + Corrupted + Noised + ErrorItems; }
};

struct LineStats {
  uint64_t Connections = 0;
  uint64_t BadChecksums = 0;  // frames dropped for their checksum
  uint64_t Unaddressed = 0;   // good frames for no station of this line or another sender
  uint64_t Malformed = 0;     // too short, no PRESUFFIX, or an unknown frame type
  uint64_t ClosedAfter = 0;   // connections dropped by --close-after
  uint64_t Echoed = 0;        // frames sent back (--echo)
  uint64_t Writes = 0;        // send calls
  uint64_t BytesIn = 0;
  uint64_t BytesOut = 0;
};

struct EndpointInfo {
  std::string ConfiguredIp;
  uint16_t ConfiguredPort = 0;
  std::string BoundIp;
  uint16_t ActualPort = 0;
  std::vector<int> Stations;  // station numbers served on this line
};

class Simulator {
 public:
  // The stations of config, station n at config.Stations[n - 1].
  Simulator(ParameterSet config, SimOptions options);
  ~Simulator();
  Simulator(const Simulator &) = delete;
  Simulator &operator=(const Simulator &) = delete;

  // Loads the parameter file with the driver's reader; nullptr and a message
  // when it cannot be loaded.
  static std::unique_ptr<Simulator> FromParameterFile(const std::string &path, SimOptions options,
                                                      std::string &error);

  // Binds every endpoint and starts serving. On failure (an address that is
  // not local, a port in use, a bad option) answers false with a message and
  // serves nothing.
  bool Start(std::string &error);
  // Closes every connection and listener and joins the thread; safe to call twice.
  void Stop();
  bool Running() const { return running_.load(); }

  const ParameterSet &Config() const { return config_; }
  std::vector<EndpointInfo> Endpoints() const;
  // The port a configured port is served on (0 when no endpoint has it).
  uint16_t ActualPort(uint16_t configuredPort) const;
  // The mappings for RewriteEndpoints.
  std::vector<EndpointMapping> Mappings() const;

  int StationCount() const { return static_cast<int>(models_.size()); }
  // Station by its number, 1 = the first [STATION]; nullptr when out of range.
  ControllerModel *Station(int number);
  void SetDead(int number, bool dead);
  bool Dead(int number) const;
  void SetFrozen(bool frozen);
  void SetFaults(const FaultOptions &faults);
  FaultOptions Faults() const;

  StationStats Stats(int number) const;
  std::vector<LineStats> LineStatistics() const;  // in the order of Endpoints()
  // Human-readable statistics, one line per station and per line (UTF-8).
  std::string StatsReport() const;

 private:
  struct Line;
  struct Pending;

  void Run();
  void AcceptOn(Line &line);
  void ReadFrom(Line &line);
  void CloseClient(Line &line, const char *why);
  void HandleMessage(Line &line, const std::string &message);
  void HandleRequest(Line &line, const std::string &message);
  void HandleAck(Line &line, const std::string &message);
  // The station whose acknowledgment this message names and is awaited; -1: none.
  int AwaitingAck(Line &line, const std::string &message);
  void SendActiveMessage(Line &line);
  void Enqueue(Line &line, std::string bytes, const FaultOptions &faults, double delay,
               bool closeAfter);
  void Flush(Line &line, double now);
  double NextWake(double now) const;
  bool Chance(double p);
  void Trace(const Line &line, const std::string &what) const;
  double Seconds() const;

  ParameterSet config_;
  // The framing of the line and the driver's address, from the [GLOBAL] section.
  std::string prefix_, suffix_, presuffix_;
  uint8_t driverAddress_ = 0;
  SimOptions options_;
  std::vector<std::unique_ptr<ControllerModel>> models_;
  std::unique_ptr<std::atomic<bool>[]> dead_;

  std::vector<std::unique_ptr<Line>> lines_;
  int epoll_ = -1;
  int wakeFd_ = -1;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};

  mutable std::mutex mutex_;  // faults, statistics
  FaultOptions faults_;
  std::vector<StationStats> stationStats_;
  std::vector<LineStats> lineStats_;
  std::vector<uint64_t> answerCounts_;  // per station, for --error-every

  std::mt19937_64 rng_;  // line thread only
};

}  // namespace zl::sim

#endif  // ZL_ZLSIM_SIMULATOR_H
