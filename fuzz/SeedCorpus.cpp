// Writes the seed corpora of the fuzz targets from real traffic: every
// request the driver codes on the engine tests' line, the answers the
// simulated controllers give to them, an active message, and host sessions
// on the demonstration line.
//
//   fuzz_seeds <folder>   writes <folder>/reception, <folder>/request_frame
//                         and <folder>/host_calls
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "FuzzDriver.h"
#include "protocol/RequestFrames.h"
#include "zlsim/ControllerModel.h"
#include "zlsim/LineFrames.h"

namespace {

using namespace zl;
namespace fs = std::filesystem;

void Save(const fs::path &folder, const std::string &name, const std::string &bytes) {
  fs::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary) << bytes;
}

std::string U16(unsigned v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)};
}

std::string Counted(const std::string &bytes) {
  return static_cast<char>(bytes.size()) + bytes;
}

struct Exchange {
  std::string Name;
  QueuedRequest Request;
  int BlockChoice = 0;  // as the request frame target reads it
  std::string Frame;    // PREFIX .. SUFFIX
  std::string Answer;   // from the first byte after PREFIX through the checksum
};

// The requests of every kind the cycle sends, for each station that can take them.
std::vector<Exchange> Requests(DriverInstance &di) {
  std::vector<Exchange> out;
  auto add = [&](int station, int kind, int index, std::string data = {}, int block = 0) {
    Exchange e;
    e.Name = std::to_string(out.size()) + "-st" + std::to_string(station) + "-kind" +
             std::to_string(kind) + "-" + std::to_string(index & 0xFFFF);
    e.Request.Station = static_cast<uint8_t>(station);
    e.Request.Kind = kind;
    e.Request.Index = static_cast<int16_t>(index);
    e.Request.Data = data;
    e.BlockChoice = block;
    if (block) e.Request.Definition = &di.StationAt(station)->MemoryBlocks.front();
    e.Frame = BuildRequestFrame(di, e.Request).str();
    if (!e.Frame.empty()) out.push_back(e);
  };
  for (int st = 1; st <= di.StationCount; ++st) {
    for (int kind : {0, 1, 2, 3, 4, 7, 8, 9}) add(st, kind, 1);
    for (int i = 1; i <= 3; ++i) add(st, kWriteMemoryOutput, i);
    for (int i = 1; i <= 3; ++i) add(st, kReadMemoryInput, i);
    add(st, kReadSamples1, 0x8000);
    add(st, kReadSamplesAlt3, 0x8000 + 186 * 87);
  }
  add(1, kReadQq, 0, std::string("\x00\x10\x04\x00\x10\x08\x00\x10\x10", 9));
  add(1, kReadQq, 0, std::string("\x00\x20\xFC", 3));
  add(1, kWriteQq, 0, std::string("\x00\x10\x08\xCD\xCC\x6C\x40", 7));
  add(1, kReadMemoryBlock, 1, {}, 1);
  for (int i = 1; i <= 3; ++i) add(1, kWriteBlockItem, i, std::string("\x11\x22\x33\x44", 4), 1);
  return out;
}

// What the simulated controller answers, built as the simulator builds it.
void Answer(DriverInstance &di, std::vector<std::unique_ptr<sim::ControllerModel>> &models,
            Exchange &e) {
  const GlobalSettings &g = di.Global;
  const std::string body =
      e.Frame.substr(g.Prefix.size(), e.Frame.size() - g.Prefix.size() - g.Suffix.size());
  const std::size_t commandSize = body.size() - sim::kHeaderSize - g.PreSuffix.size() - 1;
  const std::string items = models[e.Request.Station - 1]->Serve(
      std::string_view(body).substr(sim::kHeaderSize, commandSize),
      sim::kMaxMessage - sim::kHeaderSize - g.PreSuffix.size() - 1);
  auto byte = [&](std::size_t i) { return static_cast<uint8_t>(body[i]); };
  e.Answer = sim::BuildMessage(byte(3), 'Y', byte(0), byte(5), byte(4), items, g.PreSuffix.view());
}

// Reception: flags, the request frame (counted), then the stream.
void ReceptionSeeds(const fs::path &folder, DriverInstance &di,
                    const std::vector<Exchange> &exchanges) {
  const std::string prefix = di.Global.Prefix.str(), suffix = di.Global.Suffix.str();
  std::string all;
  for (const Exchange &e : exchanges) {
    const std::string wire = prefix + e.Answer + suffix;
    Save(folder, e.Name, std::string(1, '\x04') + Counted(e.Frame) + wire);
    all += "\x7F\x10" + wire;  // noise, half a prefix, then the answer
  }
  Save(folder, "all-answers-with-noise", std::string(1, '\x1C') + Counted("") + all);
  const uint8_t driver = di.Global.Address;
  const std::string active = sim::BuildMessage(driver, 'Y', 0, driver, di.StationAt(1)->Address,
                                               "H", di.Global.PreSuffix.view());
  Save(folder, "active-message", std::string(1, '\x00') + Counted("") + prefix + active + suffix);
  // The line without PREFIX: the same answers back to back.
  std::string bare;
  for (const Exchange &e : exchanges) bare += e.Answer + suffix;
  Save(folder, "no-prefix", std::string(1, '\x01') + Counted("") + bare);
}

// Request frames: flags 0, station, kind, index, block choice, data.
void RequestFrameSeeds(const fs::path &folder, const std::vector<Exchange> &exchanges) {
  for (const Exchange &e : exchanges) {
    const QueuedRequest &r = e.Request;
    std::string seed(1, '\x00');
    seed += static_cast<char>(r.Station);
    seed += static_cast<char>(r.Kind);
    seed += U16(static_cast<uint16_t>(r.Index));
    seed += static_cast<char>(e.BlockChoice);
    seed += r.Data.str();
    Save(folder, e.Name, seed);
  }
  // Framing texts of every length the cut may touch, outputs set.
  std::string framed = "\x1F";
  framed += Counted(std::string(200, '\x10')) + Counted(std::string(40, '\x03')) +
            Counted(std::string(30, '\r'));
  framed += std::string("\x01\x09\x01\x00\x00", 5) + std::string(12, '\x55') +
            std::string(48, '\x81') + std::string("\x05\x02\x90\x00\x00\x00\x00\x40", 8);
  Save(folder, "long-framing-outputs", framed);
}

// Host sessions on the demonstration line, in the host-calls target's
// operations: 0 read, 2 write, 4 input request, 5 buffer, 6 cycle steps,
// 7 bytes from the line, 8 the connection toggled.
std::string StationChannel(int slot, unsigned offset) {
  return std::string(1, '\x02') + static_cast<char>(slot - 1) + U16(offset);
}
std::string KnownChannel(int index) {
  return std::string(1, '\x01') + static_cast<char>(index);
}
std::string Read(const std::string &channel, int type) {
  return std::string(1, '\x00') + channel + static_cast<char>(type);
}
std::string Write(const std::string &channel, int type, uint64_t value) {
  std::string s = std::string(1, '\x02') + channel + static_cast<char>(type);
  for (int i = 0; i < 8; ++i) s += static_cast<char>(value >> (8 * i) & 0xFF);
  return s;
}

void HostCallSeeds(const fs::path &folder) {
  const std::string buffer = std::string("\x05\x01", 2);  // SetBufferAddr(0xFFFC)
  const std::string cycle = std::string("\x06\x06", 2);   // four steps
  const std::string timeout = std::string("\x06\x07", 2);
  std::string connect = buffer + Write(StationChannel(1, 476), 2, 1);
  std::string reads = connect;
  for (unsigned command : {472u, 475u, 460u, 461u, 473u}) {
    reads += Write(StationChannel(1, command), 2, 1) + cycle + timeout;
  }
  for (unsigned ch : {1u, 3u, 193u, 257u, 305u, 405u, 450u, 456u, 464u, 481u})
    reads += Read(StationChannel(1, ch), ch == 456 ? 11 : ch < 97 ? 2 : 10);
  Save(folder, "connect-read-groups", reads);

  std::string qq = connect;
  for (int v = 0; v < 8; ++v) qq += std::string(1, '\x04') + KnownChannel(v);
  qq += cycle + Read(KnownChannel(6), 11) + Read(KnownChannel(1), 4);
  qq += Write(KnownChannel(1), 10, 0x4059000000000000ull) + cycle + timeout;
  Save(folder, "qq-variables", qq);

  std::string samples = buffer + Write(KnownChannel(30), 3, 1) + Write(KnownChannel(31), 3, 2) +
                        Write(KnownChannel(33), 2, 1) + cycle + timeout +
                        Write(KnownChannel(32), 4, 5) + Read(KnownChannel(36), 10) +
                        Read(KnownChannel(41), 2) + Write(KnownChannel(39), 2, 1) +
                        Read(KnownChannel(45), 12);
  Save(folder, "sample-transfer", samples);

  std::string forcing = Write(KnownChannel(46), 10, 0x4000000000000000ull) +
                        Write(KnownChannel(47), 10, 0x408F480000000000ull) +
                        Write(KnownChannel(48), 2, 1) + Read(StationChannel(3, 5), 2) +
                        Write(KnownChannel(44), 2, 1) + std::string(1, '\x08');
  Save(folder, "force-reset-disconnect", forcing);

  std::string blocks = connect + Write(KnownChannel(8), 4, 0x1234) +
                       Write(KnownChannel(10), 10, 0) + Write(KnownChannel(12), 2, 1) + cycle +
                       Read(KnownChannel(13), 5) + Write(StationChannel(1, 480), 2, 1) + cycle;
  Save(folder, "memory-blocks", blocks);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds <corpus folder>\n");
    return 2;
  }
  const fs::path root = argv[1];
  zl::fuzz::UseMissingDriveC();
  zl::fuzz::LoadedDriver d;
  if (!d.Load(zl::fuzz::EngineLineText())) return 1;
  std::vector<std::unique_ptr<sim::ControllerModel>> models;
  for (int n = 1; n <= d.Di.StationCount; ++n)
    models.push_back(std::make_unique<sim::ControllerModel>(*d.Di.StationAt(n), n, 1));

  std::vector<Exchange> exchanges = Requests(d.Di);
  for (Exchange &e : exchanges) Answer(d.Di, models, e);
  ReceptionSeeds(root / "reception", d.Di, exchanges);
  RequestFrameSeeds(root / "request_frame", exchanges);
  HostCallSeeds(root / "host_calls");
  std::printf("%zu exchanges written under %s\n", exchanges.size(), root.c_str());
  return 0;
}
