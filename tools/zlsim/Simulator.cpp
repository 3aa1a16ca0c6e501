#include "zlsim/Simulator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>

#include "util/Checksum.h"
#include "util/Text.h"
#include "zlsim/LineFrames.h"

namespace zl::sim {

namespace {

constexpr double kMotionStep = 0.1;      // seconds between movements of the values
constexpr double kRetryAfter = 0.005;    // seconds before a write that would block is retried
constexpr double kSplitSpacing = 0.001;  // seconds between the one-byte writes of --split

enum EventKind : uint64_t { kWakeEvent = 0, kListenEvent = 1, kClientEvent = 2 };

uint64_t EventTag(EventKind kind, std::size_t line) {
  return static_cast<uint64_t>(line) << 2 | kind;
}

std::string Endpoint(const std::string &ip, uint16_t port) {
  return ip + ":" + std::to_string(port);
}

std::string ClockText() {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&t, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(ms));
  return text;
}

void CloseFd(int &fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

// Bytes on their way out, released at the pace of the line.
struct Simulator::Pending {
  std::string Bytes;
  double Start = 0;    // when the first byte may leave
  double Spacing = 0;  // seconds between bytes; 0: all at once
  bool OneByteWrites = false;
  bool CloseAfter = false;  // the connection is dropped once these bytes are out
  std::size_t Sent = 0;
};

struct Simulator::Line {
  std::size_t Index = 0;
  std::string ConfiguredIp;
  uint16_t ConfiguredPort = 0;
  std::string BoundIp;
  uint16_t ActualPort = 0;
  std::vector<int> Stations;  // indexes into models_
  int ListenFd = -1;
  int ClientFd = -1;
  FrameReader Reader;
  std::deque<Pending> Out;
  double LineFreeAt = 0;  // when the last queued byte will have left
  uint64_t AnswersOnConnection = 0;
  std::map<int, std::string> ExpectedAcks;  // by station index: the acknowledgment awaited
  std::string HeldAnswer;  // --late: an answer's bytes, sent before the next answer
  int HeldStation = 0;     // whose answer it is
  double NextActive = 0;
  std::size_t ActiveRotation = 0;

  explicit Line(std::string prefix) : Reader(std::move(prefix)) {}
  std::string Name() const { return Endpoint(ConfiguredIp, ConfiguredPort); }
};

Simulator::Simulator(ParameterSet config, SimOptions options)
    : config_(std::move(config)),
      prefix_(config_.Global.Prefix.str()),
      suffix_(config_.Global.Suffix.str()),
      presuffix_(config_.Global.PreSuffix.str()),
      driverAddress_(config_.Global.Address),
      options_(std::move(options)),
      rng_(options_.Seed) {
  faults_ = options_.Faults;
  const std::size_t n = config_.Stations.size();
  dead_ = std::make_unique<std::atomic<bool>[]>(n);
  for (std::size_t i = 0; i < n; ++i) {
    models_.push_back(std::make_unique<ControllerModel>(config_.Stations[i],
                                                        static_cast<int>(i) + 1, options_.Seed));
    models_.back()->SetFrozen(options_.Static);
    dead_[i].store(false);
  }
  for (int number : options_.Dead)
    if (number >= 1 && number <= static_cast<int>(n)) dead_[number - 1].store(true);
  stationStats_.resize(n);
  answerCounts_.resize(n);
}

Simulator::~Simulator() {
  Stop();
}

std::unique_ptr<Simulator> Simulator::FromParameterFile(const std::string &path, SimOptions options,
                                                        std::string &error) {
  ParameterSet config;
  if (!ReadParameterFile(path, config, error)) return nullptr;
  return std::make_unique<Simulator>(std::move(config), std::move(options));
}

// ---------------------------------------------------------------------------
// Start and stop

bool Simulator::Start(std::string &error) {
  if (running_.load()) return true;
  lines_.clear();  // a simulator stopped before starts afresh
  if (config_.Stations.empty()) {
    error = "the configuration has no station";
    return false;
  }
  for (int number : options_.Dead) {
    if (number < 1 || number > StationCount()) {
      error = "--dead " + std::to_string(number) + ": there are " + std::to_string(StationCount()) +
              " stations";
      return false;
    }
  }
  // One line per distinct endpoint, in the order the stations name them.
  std::map<std::pair<std::string, uint16_t>, std::size_t> byEndpoint;
  std::map<std::pair<std::string, uint16_t>, std::string> bound;
  for (std::size_t i = 0; i < config_.Stations.size(); ++i) {
    const StationConfig &st = config_.Stations[i];
    auto key = std::make_pair(st.Ip.str(), st.Port);
    auto it = byEndpoint.find(key);
    if (it != byEndpoint.end()) {
      lines_[it->second]->Stations.push_back(static_cast<int>(i));
      continue;
    }
    auto line = std::make_unique<Line>(prefix_);
    line->Index = lines_.size();
    line->ConfiguredIp = st.Ip.str();
    line->ConfiguredPort = st.Port;
    line->BoundIp = options_.BindAddress.empty() ? st.Ip.str() : options_.BindAddress;
    line->Stations.push_back(static_cast<int>(i));
    in_addr probe{};
    if (::inet_pton(AF_INET, line->BoundIp.c_str(), &probe) != 1) {
      error = options_.BindAddress.empty()
                  ? "station " + std::to_string(i + 1) + ": IP \"" + st.Ip.str() +
                        "\" is not an IPv4 address (use --bind ADDR to serve it on a local address)"
                  : "--bind " + options_.BindAddress + ": not an IPv4 address";
      lines_.clear();
      return false;
    }
    if (!options_.Ephemeral) {
      auto bkey = std::make_pair(line->BoundIp, st.Port);
      auto clash = bound.find(bkey);
      if (clash != bound.end()) {
        error = "endpoints " + clash->second + " and " + line->Name() +
                " would both be served on " + Endpoint(line->BoundIp, st.Port) +
                " (use --ephemeral)";
        lines_.clear();
        return false;
      }
      bound[bkey] = line->Name();
    }
    byEndpoint[key] = lines_.size();
    lines_.push_back(std::move(line));
  }

  auto fail = [&](const std::string &message) {
    error = message;
    for (auto &line : lines_) CloseFd(line->ListenFd);
    lines_.clear();
    CloseFd(epoll_);
    CloseFd(wakeFd_);
    return false;
  };
  for (auto &line : lines_) {
    line->ListenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (line->ListenFd < 0) return fail(std::string("socket: ") + std::strerror(errno));
    int one = 1;
    ::setsockopt(line->ListenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(options_.Ephemeral ? 0 : line->ConfiguredPort);
    ::inet_pton(AF_INET, line->BoundIp.c_str(), &addr.sin_addr);
    if (::bind(line->ListenFd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
      int e = errno;
      std::string where = Endpoint(line->BoundIp, ntohs(addr.sin_port));
      if (e == EADDRNOTAVAIL)
        return fail("cannot listen on " + where +
                    ": the address is not one of this machine's (use --bind ADDR to serve " +
                    line->Name() + " on a local address)");
      return fail("cannot listen on " + where + ": " + std::strerror(e));
    }
    if (::listen(line->ListenFd, 4) != 0)
      return fail("listen on " + line->Name() + ": " + std::strerror(errno));
    socklen_t len = sizeof addr;
    ::getsockname(line->ListenFd, reinterpret_cast<sockaddr *>(&addr), &len);
    line->ActualPort = ntohs(addr.sin_port);
  }
  epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (epoll_ < 0 || wakeFd_ < 0) return fail(std::string("epoll: ") + std::strerror(errno));
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.u64 = EventTag(kWakeEvent, 0);
  ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wakeFd_, &ev);
  for (auto &line : lines_) {
    ev.data.u64 = EventTag(kListenEvent, line->Index);
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, line->ListenFd, &ev);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lineStats_.assign(lines_.size(), LineStats());
  }
  stopping_.store(false);
  running_.store(true);
  thread_ = std::thread([this] { Run(); });
  return true;
}

void Simulator::Stop() {
  if (!running_.load()) return;
  stopping_.store(true);
  uint64_t one = 1;
  [[maybe_unused]] ssize_t r = ::write(wakeFd_, &one, sizeof one);
  if (thread_.joinable()) thread_.join();
  for (auto &line : lines_) {
    CloseFd(line->ClientFd);
    CloseFd(line->ListenFd);
  }
  CloseFd(epoll_);
  CloseFd(wakeFd_);
  running_.store(false);
}

// ---------------------------------------------------------------------------
// The line thread

double Simulator::Seconds() const {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void Simulator::Run() {
  double lastMotion = Seconds();
  epoll_event events[16];
  while (!stopping_.load()) {
    double now = Seconds();
    double wake = std::min(NextWake(now), lastMotion + kMotionStep);
    int timeoutMs = static_cast<int>(std::ceil(std::max(0.0, wake - now) * 1000.0));
    int n = ::epoll_wait(epoll_, events, 16, std::min(timeoutMs, 100));
    for (int i = 0; i < n; ++i) {
      uint64_t tag = events[i].data.u64;
      auto kind = static_cast<EventKind>(tag & 3);
      std::size_t index = tag >> 2;
      if (kind == kWakeEvent) {
        uint64_t count;
        [[maybe_unused]] ssize_t r = ::read(wakeFd_, &count, sizeof count);
      } else if (index < lines_.size()) {
        if (kind == kListenEvent) AcceptOn(*lines_[index]);
        if (kind == kClientEvent) ReadFrom(*lines_[index]);
      }
    }
    now = Seconds();
    if (now - lastMotion >= kMotionStep) {
      for (auto &model : models_) model->Advance(now - lastMotion);
      lastMotion = now;
    }
    double activeEvery = Faults().ActiveEverySeconds;
    for (auto &line : lines_) {
      if (line->ClientFd >= 0 && activeEvery > 0 && now >= line->NextActive && line->Out.empty()) {
        SendActiveMessage(*line);
        line->NextActive = now + activeEvery;
      }
      Flush(*line, now);
    }
  }
}

double Simulator::NextWake(double now) const {
  double wake = now + 1.0;
  double activeEvery = Faults().ActiveEverySeconds;
  for (const auto &line : lines_) {
    if (line->ClientFd < 0) continue;
    if (activeEvery > 0) wake = std::min(wake, line->NextActive);
    if (line->Out.empty()) continue;
    const Pending &p = line->Out.front();
    double next = p.Start + static_cast<double>(p.Sent) * p.Spacing;
    wake = std::min(wake, next > now ? next : now + kRetryAfter);
  }
  return wake;
}

void Simulator::AcceptOn(Line &line) {
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  int fd = ::accept4(line.ListenFd, reinterpret_cast<sockaddr *>(&peer), &len,
                     SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return;
  if (line.ClientFd >= 0) CloseClient(line, "replaced by a new connection");
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  line.ClientFd = fd;
  line.Reader.Reset();
  line.Out.clear();
  line.LineFreeAt = 0;
  line.AnswersOnConnection = 0;
  line.ExpectedAcks.clear();
  line.HeldAnswer.clear();
  line.NextActive = Seconds() + Faults().ActiveEverySeconds;
  epoll_event ev{};
  ev.events = EPOLLIN | EPOLLRDHUP;
  ev.data.u64 = EventTag(kClientEvent, line.Index);
  ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++lineStats_[line.Index].Connections;
  }
  char text[INET_ADDRSTRLEN] = "?";
  ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
  Trace(line, "-- connection from " + Endpoint(text, ntohs(peer.sin_port)));
}

void Simulator::CloseClient(Line &line, const char *why) {
  if (line.ClientFd < 0) return;
  CloseFd(line.ClientFd);
  line.Out.clear();
  line.Reader.Reset();
  line.ExpectedAcks.clear();
  line.HeldAnswer.clear();
  Trace(line, std::string("-- connection closed: ") + why);
}

void Simulator::ReadFrom(Line &line) {
  char buffer[4096];
  std::vector<std::string> messages;
  while (line.ClientFd >= 0) {
    ssize_t n = ::recv(line.ClientFd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        lineStats_[line.Index].BytesIn += static_cast<uint64_t>(n);
      }
      line.Reader.Feed(std::string_view(buffer, static_cast<std::size_t>(n)), messages);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n < 0 && errno == EINTR) continue;
    CloseClient(line, n == 0 ? "by the client" : std::strerror(errno));
    break;
  }
  if (std::size_t skipped = line.Reader.TakeSkipped())
    Trace(line, "-- " + std::to_string(skipped) + " bytes outside frames dropped");
  for (const std::string &m : messages) HandleMessage(line, m);
}

// ---------------------------------------------------------------------------
// Frames

void Simulator::HandleMessage(Line &line, const std::string &message) {
  Trace(line, "IN  " + HexBytes(prefix_ + message));
  const std::string &presuffix = presuffix_;
  auto count = [&](uint64_t LineStats::*field) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++(lineStats_[line.Index].*field);
  };
  const FaultOptions now = Faults();
  if (now.Echo) {
    count(&LineStats::Echoed);
    Trace(line, "-- echo");
    Enqueue(line, prefix_ + message + suffix_, now, 0.0, false);
  }
  if (!MessageChecksumOk(message)) {
    count(&LineStats::BadChecksums);
    int s = message.size() > kHeaderSize && message[2] == 'y' ? AwaitingAck(line, message) : -1;
    if (s >= 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      ++stationStats_[s].BadAcks;
    }
    Trace(line, "-- bad checksum: no answer");
    return;
  }
  if (message.size() < kHeaderSize + presuffix.size() + 1 ||
      message.compare(message.size() - 1 - presuffix.size(), presuffix.size(), presuffix) != 0) {
    count(&LineStats::Malformed);
    Trace(line, "-- too short or without PRESUFFIX: no answer");
    return;
  }
  if (message[2] == 'Y') {
    HandleRequest(line, message);
  } else if (message[2] == 'y') {
    HandleAck(line, message);
  } else {
    count(&LineStats::Malformed);
    Trace(line, "-- frame type " + HexBytes(message.substr(2, 1)) + "is not served");
  }
}

void Simulator::HandleRequest(Line &line, const std::string &msg) {
  const auto byte = [&](std::size_t i) { return static_cast<uint8_t>(msg[i]); };
  auto unaddressed = [&](const std::string &why) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++lineStats_[line.Index].Unaddressed;
    }
    Trace(line, "-- " + why + ": no answer");
  };
  if (byte(3) != driverAddress_ || byte(5) != driverAddress_) {
    unaddressed("sender " + std::to_string(byte(3)) + "/" + std::to_string(byte(5)) +
                " is not the driver's address " + std::to_string(driverAddress_));
    return;
  }
  int s = -1;
  for (int candidate : line.Stations) {
    if (config_.Stations[candidate].Address == byte(4)) {
      s = candidate;
      break;
    }
  }
  if (s < 0) {
    unaddressed("no station with address " + std::to_string(byte(4)) + " on this line");
    return;
  }
  const StationConfig &st = config_.Stations[s];
  if (byte(0) != st.Retranslation) {
    unaddressed("retranslation " + std::to_string(byte(0)) + ", station " + std::to_string(s + 1) +
                " has " + std::to_string(st.Retranslation));
    return;
  }
  enum class Fate { Answer, Dead, Dropped };
  Fate fate = Fate::Answer;
  FaultOptions f;
  bool errorItem = false;
  bool late = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    f = faults_;
    ++stationStats_[s].Requests;
    if (dead_[s].load()) {
      fate = Fate::Dead;
      ++stationStats_[s].DeadIgnored;
    } else if (Chance(f.Drop)) {
      fate = Fate::Dropped;
      ++stationStats_[s].Dropped;
    } else {
      errorItem = f.ErrorEvery > 0 && ++answerCounts_[s] % static_cast<uint64_t>(f.ErrorEvery) == 0;
      late = line.HeldAnswer.empty() && Chance(f.Late);
    }
  }
  if (fate == Fate::Dead) {
    Trace(line, "-- station " + std::to_string(s + 1) + " is dead: no answer");
    return;
  }
  if (fate == Fate::Dropped) {
    Trace(line, "-- dropped: no answer");
    return;
  }

  const std::size_t p = presuffix_.size();
  std::string_view command(msg.data() + kHeaderSize, msg.size() - kHeaderSize - p - 1);
  std::size_t maxItems = kMaxMessage - kHeaderSize - p - 1 - (errorItem ? 2 : 0);
  std::string items = models_[s]->Serve(command, maxItems);
  if (errorItem) items.insert(0, std::string{'E', static_cast<char>(kErrorControl)});
  std::string answer = BuildMessage(byte(3), 'Y', byte(0), byte(5), byte(4), items, presuffix_);

  bool corrupt = Chance(f.Corrupt);
  if (corrupt) answer.back() = static_cast<char>(answer.back() ^ 0xFF);
  std::string junk;
  if (Chance(f.Noise)) {
    std::size_t count = 1 + rng_() % 8;
    while (junk.size() < count) {
      auto c = static_cast<char>(rng_() & 0xFF);
      if (prefix_.find(c) == std::string::npos) junk += c;
    }
  }
  ++line.AnswersOnConnection;
  bool closeAfter =
      f.CloseAfter > 0 && line.AnswersOnConnection >= static_cast<uint64_t>(f.CloseAfter);
  if (late) {
    // The answer comes too late for this request: it goes out just before
    // the line's next answer, and is counted as an answer then.
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++stationStats_[s].Late;
      if (errorItem) ++stationStats_[s].ErrorItems;
    }
    Trace(line, "-- answer held back until the next request");
    line.HeldAnswer = prefix_ + answer + suffix_;
    line.HeldStation = s;
    return;
  }
  std::string held;
  if (!line.HeldAnswer.empty()) {
    held.swap(line.HeldAnswer);
    std::lock_guard<std::mutex> lock(mutex_);
    ++stationStats_[line.HeldStation].Answers;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    StationStats &stats = stationStats_[s];
    ++stats.Answers;
    if (errorItem) ++stats.ErrorItems;
    if (corrupt) ++stats.Corrupted;
    if (!junk.empty()) ++stats.Noised;
  }
  if (errorItem) Trace(line, "-- control error item added");
  if (corrupt) Trace(line, "-- checksum spoilt");
  if (!junk.empty())
    Trace(line, "-- " + std::to_string(junk.size()) + " junk bytes before the answer");
  Enqueue(line, held + junk + prefix_ + answer + suffix_, f, f.DelayMs / 1000.0, closeAfter);
}

int Simulator::AwaitingAck(Line &line, const std::string &msg) {
  for (int s : line.Stations) {
    if (config_.Stations[s].Address == static_cast<uint8_t>(msg[4]) && line.ExpectedAcks.count(s))
      return s;
  }
  return -1;
}

void Simulator::HandleAck(Line &line, const std::string &msg) {
  int s = AwaitingAck(line, msg);
  if (s < 0) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++lineStats_[line.Index].Malformed;
    }
    Trace(line, "-- acknowledgment without an active message");
    return;
  }
  std::string expected = line.ExpectedAcks[s];
  line.ExpectedAcks.erase(s);
  bool good = msg == expected;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++(good ? stationStats_[s].Acks : stationStats_[s].BadAcks);
  }
  Trace(line, good ? "-- active message of station " + std::to_string(s + 1) + " acknowledged"
                   : "-- wrong acknowledgment, expected " + HexBytes(expected));
}

void Simulator::SendActiveMessage(Line &line) {
  const std::size_t n = line.Stations.size();
  for (std::size_t tries = 0; tries < n; ++tries) {
    int s = line.Stations[line.ActiveRotation++ % n];
    if (dead_[s].load()) continue;
    const StationConfig &st = config_.Stations[s];
    const uint8_t driver = driverAddress_;
    std::string message =
        BuildMessage(driver, 'Y', st.Retranslation, driver, st.Address, "H", presuffix_);
    // The driver answers with the message's routing turned round: type "y",
    // the retranslation byte first, the station's address between zeros.
    line.ExpectedAcks[s] = BuildMessage(st.Retranslation, 'y', 0, st.Address, 0, "H", presuffix_);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++stationStats_[s].ActiveSent;
    }
    Trace(line, "-- active message of station " + std::to_string(s + 1));
    Enqueue(line, prefix_ + message + suffix_, Faults(), 0.0, false);
    return;
  }
}

// ---------------------------------------------------------------------------
// Output pacing

void Simulator::Enqueue(Line &line, std::string bytes, const FaultOptions &f, double delay,
                        bool closeAfter) {
  double now = Seconds();
  Pending p;
  p.Start = std::max(now + delay, line.LineFreeAt);
  p.Spacing = f.Baud > 0 ? 10.0 / f.Baud : (f.Split ? kSplitSpacing : 0.0);
  p.OneByteWrites = f.Split;
  p.CloseAfter = closeAfter;
  line.LineFreeAt = p.Start + static_cast<double>(bytes.size()) * p.Spacing;
  p.Bytes = std::move(bytes);
  line.Out.push_back(std::move(p));
}

void Simulator::Flush(Line &line, double now) {
  while (line.ClientFd >= 0 && !line.Out.empty()) {
    Pending &p = line.Out.front();
    if (now < p.Start) return;
    std::size_t due = p.Bytes.size();
    if (p.Spacing > 0) {
      auto paced = static_cast<std::size_t>((now - p.Start) / p.Spacing) + 1;
      due = std::min(due, paced);
    }
    while (p.Sent < due) {
      std::size_t n = p.OneByteWrites ? 1 : due - p.Sent;
      ssize_t r = ::send(line.ClientFd, p.Bytes.data() + p.Sent, n, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (r < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
        CloseClient(line, std::strerror(errno));
        return;
      }
      p.Sent += static_cast<std::size_t>(r);
      std::lock_guard<std::mutex> lock(mutex_);
      ++lineStats_[line.Index].Writes;
      lineStats_[line.Index].BytesOut += static_cast<uint64_t>(r);
    }
    if (p.Sent < p.Bytes.size()) return;
    Trace(line, "OUT " + HexBytes(p.Bytes));
    if (p.CloseAfter) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ++lineStats_[line.Index].ClosedAfter;
      }
      CloseClient(line, "--close-after reached");
      return;
    }
    line.Out.pop_front();
  }
}

bool Simulator::Chance(double p) {
  if (p <= 0.0) return false;
  if (p >= 1.0) return true;
  return std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < p;
}

void Simulator::Trace(const Line &line, const std::string &what) const {
  if (options_.TraceSink) options_.TraceSink(ClockText() + " " + line.Name() + " " + what);
}

// ---------------------------------------------------------------------------
// Access from other threads

std::vector<EndpointInfo> Simulator::Endpoints() const {
  std::vector<EndpointInfo> out;
  for (const auto &line : lines_) {
    EndpointInfo info{
        line->ConfiguredIp, line->ConfiguredPort, line->BoundIp, line->ActualPort, {}};
    for (int s : line->Stations) info.Stations.push_back(s + 1);
    out.push_back(std::move(info));
  }
  return out;
}

uint16_t Simulator::ActualPort(uint16_t configuredPort) const {
  for (const auto &line : lines_)
    if (line->ConfiguredPort == configuredPort) return line->ActualPort;
  return 0;
}

std::vector<EndpointMapping> Simulator::Mappings() const {
  std::vector<EndpointMapping> out;
  for (const auto &line : lines_)
    out.push_back(
        EndpointMapping{line->ConfiguredIp, line->ConfiguredPort, line->BoundIp, line->ActualPort});
  return out;
}

ControllerModel *Simulator::Station(int number) {
  if (number < 1 || number > StationCount()) return nullptr;
  return models_[number - 1].get();
}

void Simulator::SetDead(int number, bool dead) {
  if (number >= 1 && number <= StationCount()) dead_[number - 1].store(dead);
}

bool Simulator::Dead(int number) const {
  return number >= 1 && number <= StationCount() && dead_[number - 1].load();
}

void Simulator::SetFrozen(bool frozen) {
  for (auto &model : models_) model->SetFrozen(frozen);
}

void Simulator::SetFaults(const FaultOptions &faults) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_ = faults;
}

FaultOptions Simulator::Faults() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_;
}

StationStats Simulator::Stats(int number) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (number < 1 || number > static_cast<int>(stationStats_.size())) return StationStats();
  return stationStats_[number - 1];
}

std::vector<LineStats> Simulator::LineStatistics() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lineStats_;
}

std::string Simulator::StatsReport() const {
  std::vector<StationStats> stations;
  std::vector<LineStats> lines;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stations = stationStats_;
    lines = lineStats_;
  }
  std::string out;
  char text[512];
  for (std::size_t i = 0; i < stations.size(); ++i) {
    const StationConfig &st = config_.Stations[i];
    const StationStats &s = stations[i];
    std::snprintf(
        text, sizeof text,
        "station %d %s (address %d, %s): requests %llu, answers %llu, faults %llu "
        "(dropped %llu, corrupted %llu, noise %llu, errors %llu), dead %llu, active %llu, "
        "acks %llu, bad acks %llu\n",
        static_cast<int>(i) + 1, Utf8FromCp1250(st.Name.view()).c_str(), st.Address,
        Endpoint(st.Ip.str(), st.Port).c_str(), static_cast<unsigned long long>(s.Requests),
        static_cast<unsigned long long>(s.Answers),
        static_cast<unsigned long long>(s.FaultsInjected()),
        static_cast<unsigned long long>(s.Dropped), static_cast<unsigned long long>(s.Corrupted),
        static_cast<unsigned long long>(s.Noised), static_cast<unsigned long long>(s.ErrorItems),
        static_cast<unsigned long long>(s.DeadIgnored),
        static_cast<unsigned long long>(s.ActiveSent), static_cast<unsigned long long>(s.Acks),
        static_cast<unsigned long long>(s.BadAcks));
    out += text;
  }
  for (std::size_t i = 0; i < lines.size() && i < lines_.size(); ++i) {
    const LineStats &l = lines[i];
    std::snprintf(
        text, sizeof text,
        "line %s on port %u: connections %llu, bad checksums %llu, unaddressed %llu, "
        "malformed %llu, closed %llu, writes %llu, bytes in %llu, out %llu\n",
        lines_[i]->Name().c_str(), lines_[i]->ActualPort,
        static_cast<unsigned long long>(l.Connections),
        static_cast<unsigned long long>(l.BadChecksums),
        static_cast<unsigned long long>(l.Unaddressed),
        static_cast<unsigned long long>(l.Malformed),
        static_cast<unsigned long long>(l.ClosedAfter), static_cast<unsigned long long>(l.Writes),
        static_cast<unsigned long long>(l.BytesIn), static_cast<unsigned long long>(l.BytesOut));
    out += text;
  }
  return out;
}

}  // namespace zl::sim
