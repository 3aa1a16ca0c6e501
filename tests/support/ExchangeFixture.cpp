#include "support/ExchangeFixture.h"

#include <bit>
#include <mutex>

#include "exchange/ChannelMap.h"
#include "exchange/InputPath.h"
#include "exchange/OutputPath.h"

namespace zl::test {

void FakeLineClient::Record(const std::string &call) {
  calls.push_back(call);
  if (OnCall) OnCall(call);
}

void FakeLineClient::SetEndpoint(const std::string &h, int p) {
  host = h;
  port = p;
  Record("SetEndpoint " + h + ":" + std::to_string(p));
}

bool FakeLineClient::Connect() {
  Record("Connect");
  return true;
}

void FakeLineClient::Disconnect() {
  Record("Disconnect");
}

ExchangeFixture::ExchangeFixture() {
  Di.Client = &Client;
}

bool ExchangeFixture::LoadIndexed(std::string_view fileText) {
  if (!Load(fileText)) return false;
  Di.Channels = BuildChannelIndex(Di);
  return true;
}

bool ExchangeFixture::LoadStations(const std::vector<std::string> &stationExtras) {
  std::string file = GlobalSection();
  int address = 1;
  for (const std::string &extra : stationExtras) file += StationSection(Crlf(extra), address++);
  return LoadIndexed(file);
}

HostValue ExchangeFixture::Get(uint16_t channel, uint32_t type) {
  HostValue v;
  v.type = type;
  std::memset(v.value, 0xEE, sizeof v.value);
  GetInput(Di, channel, v);
  return v;
}

void ExchangeFixture::Put(uint16_t channel, uint32_t type, uint64_t value) {
  OutputRequest(Di, channel, type, value);
}

void ExchangeFixture::PutDouble(uint16_t channel, double value) {
  Put(channel, ZL_TYPE_DOUBLE, std::bit_cast<uint64_t>(value));
}

std::vector<QueuedRequest> ExchangeFixture::Primary() {
  return Di.Queues.Snapshot(QueueId::Primary);
}

std::vector<QueuedRequest> ExchangeFixture::Secondary() {
  return Di.Queues.Snapshot(QueueId::Secondary);
}

bool UntouchedFrom(const HostValue &v, int offset) {
  for (int i = offset; i < 8; ++i)
    if (v.value[i] != 0xEE) return false;
  return true;
}

}  // namespace zl::test
