// How the simulated line behaves.
#ifndef ZL_ZLSIM_SIMOPTIONS_H
#define ZL_ZLSIM_SIMOPTIONS_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zl::sim {

// Faults of the line and the controllers; they can be changed while the
// simulator runs. Probabilities are fractions from 0 to 1.
struct FaultOptions {
  double Drop = 0.0;              // a request goes unanswered
  double Corrupt = 0.0;           // an answer's checksum is wrong
  double Noise = 0.0;             // junk bytes come before an answer's PREFIX
  bool Split = false;             // answers leave one byte per write
  int DelayMs = 0;                // before an answer's first byte
  int Baud = 0;                   // bytes leave at 10 bits each at this rate; 0: at once
  int ErrorEvery = 0;             // every Nth answer of a station carries "E" 7
  double ActiveEverySeconds = 0;  // an active message ("H") this often; 0: never
  int CloseAfter = 0;             // the connection is dropped after N answers; 0: never
  bool Echo = false;              // every frame comes back first, as on a two-wire line
  double Late = 0.0;              // an answer is held back and sent just before the next one
};

struct SimOptions {
  std::string BindAddress;  // serve every endpoint on this address instead
  bool Ephemeral = false;   // bind port 0 for every endpoint
  std::vector<int> Dead;    // station numbers (1 = first [STATION]) that never answer
  FaultOptions Faults;
  uint64_t Seed = 1;
  bool Static = false;  // values do not move
  bool Stats = false;   // the program prints statistics at exit and on SIGUSR1
  // Receives one line (without line end) per frame and per event on the line.
  // Called on the simulator's thread; empty: no trace.
  std::function<void(const std::string &)> TraceSink;
};

}  // namespace zl::sim

#endif  // ZL_ZLSIM_SIMOPTIONS_H
