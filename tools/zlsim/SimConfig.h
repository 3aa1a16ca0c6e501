// What the simulator needs to know about the line and its controllers: a
// plain copy of the parameter file's framing, the driver's address and, per
// station, its address, object counts, memory layout, QQ variables and
// gateway endpoint. Filled from the driver's loaded configuration by
// ConfigFromDriver, or by hand in tests.
#ifndef ZL_ZLSIM_SIMCONFIG_H
#define ZL_ZLSIM_SIMCONFIG_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zl {
struct ParameterSet;
}

namespace zl::sim {

struct SimMemoryItem {
  uint16_t Address = 0;
  uint8_t Type = 3;  // 1 byte, 2 word (low byte first), 3 real (3 bytes)
};

struct SimQqVariable {
  uint8_t Address[3] = {0, 0, 0};
  uint8_t Type = 1;       // 1 BYTE .. 6 REAL, 7 STRING (eight 4-character parts)
  uint8_t Direction = 1;  // 1 READ, 2 WRITE, 3 BIDIR
};

struct SimMemoryBlock {
  uint16_t Address = 0;
  std::string ItemTypes;       // one code 1..6 per item
  std::string ItemDirections;  // one code per item: 1 INPUT, 2 OUTPUT, 3 BIDIR
};

struct SimStation {
  int Number = 0;    // 1 = the first [STATION] section
  std::string Name;  // Windows-1250, as in the file
  uint8_t Address = 0;
  uint8_t Retranslation = 0;
  uint8_t NumBinarIn = 0;
  uint8_t NumBinarOut = 0;
  uint8_t NumAnalogIn = 0;
  uint8_t NumCounterIn = 0;
  uint8_t NumMemoryIn = 0;
  uint8_t NumMemoryOut = 0;
  uint16_t AnalogInAddr = 0;
  std::vector<SimMemoryItem> MemoryIn;   // entries 1..NumMemoryIn at [0..]
  std::vector<SimMemoryItem> MemoryOut;  // entries 1..NumMemoryOut at [0..]
  bool MemoryInBlockRead = false;
  std::vector<SimQqVariable> QqVariables;
  std::vector<SimMemoryBlock> MemoryBlocks;
  std::string Phone;
  std::string Ip;
  uint16_t Port = 0;
};

struct SimConfig {
  std::string Prefix;
  std::string Suffix;
  std::string PreSuffix;
  uint8_t DriverAddress = 0;
  std::vector<SimStation> Stations;  // in file order
};

// Copies the loaded stations 1..StationCount and the framing settings.
SimConfig ConfigFromDriver(const ParameterSet &di);

// Loads a parameter file with the driver's reader. On failure answers false
// with the reader's message (UTF-8) in error.
bool LoadSimConfig(const std::string &path, SimConfig &config, std::string &error);

// Where one configured gateway endpoint is really served.
struct EndpointMapping {
  std::string ConfiguredIp;
  uint16_t ConfiguredPort = 0;
  std::string ActualIp;
  uint16_t ActualPort = 0;
};

// Rewrites the PORT value of every [STATION] section of a parameter file's
// text whose endpoint appears in the mappings, and its IP text when the
// mapping serves it on another address. Everything else, comments and line
// ends included, is kept byte for byte. A mapping with an empty ConfiguredIp
// matches its port whatever the section's IP.
std::string RewriteEndpoints(std::string_view text, const std::vector<EndpointMapping> &mappings);

}  // namespace zl::sim

#endif  // ZL_ZLSIM_SIMCONFIG_H
