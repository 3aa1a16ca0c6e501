// Polls the demonstration line as a host does, in rounds, and checks every
// value the host reads against the values the simulated controllers held.
//
// The controllers are static; SetPhase gives them new values, and each value
// a channel may show (what it showed before any answer, and what every phase
// put in its own variable in the controller) is remembered. After a round
// whose reads were all answered on one connection, every channel must show
// its own variable's value of the current phase; after any other round, a
// value outside its own variable's set is wrong (another variable's, or one
// the simulator never sent).
#ifndef ZL_TESTS_SUPPORT_LINEWORKLOAD_H
#define ZL_TESTS_SUPPORT_LINEWORKLOAD_H

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "support/HostSession.h"

namespace zl::test {

class LineWorkload {
 public:
  // Remembers what every checked channel shows now, before any answer.
  explicit LineWorkload(HostSession &session);

  // Gives stations 1 and 2 the values of phase p (after a gateway restart
  // too: the new controllers start from their own values).
  void SetPhase(int p);
  // Connects stations 1 and 2 when the driver's client has no connection.
  bool KeepConnected();
  // Read commands for stations 1 and 2, QQ reads, a binary output write;
  // pumps until every request is answered; then reads and checks every
  // checked channel. False when the round did not settle in time.
  bool Round();
  // Every binary output written last has reached the controller.
  bool OutputsReached();
  // Checked channels that do not show the value the last phase gave them
  // (after a round without faults: none).
  std::vector<std::string> Stale();

  uint64_t Rounds() const { return rounds_; }
  uint64_t ValuesChecked() const { return checked_; }
  uint64_t ValuesWrong() const { return wrong_.size(); }
  // The first wrong values, as "channel 7: 3.5".
  const std::vector<std::string> &Wrong() const { return wrong_; }

  // Sums over stations 1..3 of a station channel offset (demo::k*).
  double StationSum(int offset);

 private:
  struct Checked {
    uint16_t Channel;
    uint32_t Type;
    std::set<double> Allowed;
    double Current = 0;  // what the last phase gave it
  };
  double Read(const Checked &c);
  uint64_t Connections();  // the simulator's, over every line
  uint64_t Late();         // answers the simulator held back, over every station
  void Allow(uint16_t channel, double value);

  HostSession &s_;
  std::vector<Checked> channels_;
  uint64_t rounds_ = 0;
  uint64_t checked_ = 0;
  std::vector<std::string> wrong_;
  uint8_t lastOutputs_[4] = {};
};

}  // namespace zl::test

#endif  // ZL_TESTS_SUPPORT_LINEWORKLOAD_H
