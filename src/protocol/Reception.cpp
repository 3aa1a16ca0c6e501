#include "protocol/Reception.h"

#include <mutex>

#include "protocol/AnswerPairing.h"
#include "protocol/Decoder.h"
#include "protocol/DeferredDebug.h"
#include "util/Checksum.h"
#include "util/Encodings.h"

namespace zl {

namespace {

constexpr const char *kLabel = "ReceiveDATA";

// The store takes its own lock after the cycle state's.
// paired: the message is stored with LastRequestFrame, which is then
// emptied; otherwise with an empty frame, as a controller's own message.
void StoreMessageLocked(DriverInstance &di, std::string_view message, DeferredDebug &log,
                        bool paired = true) REQUIRES(di.Polling.Lock) {
  di.Received.Store(
      ReceivedMessage{paired ? di.Polling.LastRequestFrame : Str255(), Str255(message)});
  log.Add("insert REC", "");
  if (paired) di.Polling.LastRequestFrame.clear();
}

// Only the stations behind the connected gateway speak on this line: a
// station of the same address behind another gateway is another controller.
bool NamesStationOfLine(const DriverInstance &di, LineClient &client, const Str255 &message) {
  const uint8_t named = NamedAddress(message);
  const std::string host = client.Host();
  const int port = client.Port();
  for (int n = 1; n <= di.StationCount; ++n) {
    const StationConfig *st = di.ConfigAt(n);
    if (st && st->Address == named && st->BehindGateway(host, port)) return true;
  }
  return false;
}

// A good message addressed to the driver. The driver's own frames coming
// back and messages for no station behind the connected gateway are dropped. While a request
// waits, only its own answer is stored with its frame and ends the wait;
// any other message is stored as the controller's own and the wait goes on.
// On an idle line every message is stored with the frame sent last.
bool TakeMessage(DriverInstance &di, LineClient &client, DeferredDebug &log)
    REQUIRES(di.Polling.Lock) {
  if (EchoOf(di.Global, di.Polling.MessageBuffer, di.Polling.TransmitFrame) ||
      EchoOf(di.Global, di.Polling.MessageBuffer, di.Polling.FollowUpSent)) {
    ++di.Polling.StrayCount;
    log.Add(kLabel, "own frame back: dropped");
    return false;
  }
  if (!NamesStationOfLine(di, client, di.Polling.MessageBuffer)) {
    ++di.Polling.StrayCount;
    log.Add(kLabel, "no such station: dropped");
    return false;
  }
  const bool waiting = di.Polling.AwaitingAnswer != 0 && !di.Polling.LastRequestFrame.empty();
  if (waiting && !AnswersFrame(di.Global, di.Polling.MessageBuffer, di.Polling.LastRequestFrame)) {
    ++di.Polling.UnpairedCount;
    log.Add(kLabel, "not the answer: SaveIt");
    StoreMessageLocked(di, di.Polling.MessageBuffer.view(), log, false);
    AddTo(di.Polling.MessageCount, 1.0);
    return false;
  }
  log.Add(kLabel, "SaveIt");
  StoreMessageLocked(di, di.Polling.MessageBuffer.view(), log);
  AddTo(di.Polling.MessageCount, 1.0);
  return true;
}

// A "Y"-typed message (either case) must name the driver's own ADDRESS first.
bool AddressedToUs(const DriverInstance &di, const Str255 &message) {
  const uint8_t type = message[2];
  const bool addressed = type == 'Y' || type == 'y';
  return !addressed || message[0] == di.Global.Address;
}

// Hunt: one byte into the window, which keeps the last |PREFIX| bytes.
void HuntStep(DriverInstance &di, LineClient &client) REQUIRES(di.Polling.Lock) {
  if (client.ReceivedCount() < 1) return;
  uint8_t b = 0;
  client.ReadByte(b);
  Str255 &window = di.Polling.PrefixWindow;
  const std::size_t keep = di.Global.Prefix.size();
  if (window.size() >= keep) window.erase_front(window.size() + 1 - keep);
  window.push_back(b);
}

void StartStep(DriverInstance &di, LineClient &client, DeferredDebug &log)
    REQUIRES(di.Polling.Lock) {
  if (client.ReceivedCount() < 2) return;
  di.Polling.MessageBuffer = client.ReadBytes(2);
  AddTo(di.Polling.PrefixCount, 1.0);
  log.Add(kLabel, "Prefix");
  if (di.Polling.MessageBuffer.size() < 2)
    di.Polling.ResetReception();  // the client gave less than it held
}

bool BodyStep(DriverInstance &di, LineClient &client, DeferredDebug &log)
    REQUIRES(di.Polling.Lock) {
  const uint8_t len = di.Polling.MessageBuffer[1];
  if (len < kMinMessageLen || len > kMaxMessageLen) {
    // No message can have this LEN: waiting for its bytes could only swallow
    // the messages that follow. Hunt again from the next byte.
    log.Add(kLabel, "LEN out of range");
    di.Polling.ResetReception();
    return false;
  }
  if (client.ReceivedCount() < len) return false;
  log.Add(kLabel, "Message");
  di.Polling.MessageBuffer += client.ReadBytes(len);
  bool stored = false;
  if (MessageChecksumOk(di.Polling.MessageBuffer.view())) {
    log.Add(kLabel, "XOR OK");
    if (AddressedToUs(di, di.Polling.MessageBuffer)) stored = TakeMessage(di, client, log);
  }
  di.Polling.ResetReception();
  return stored;
}

}  // namespace

bool ReceiveStep(DriverInstance &di, LineClient &client) {
  DeferredDebug log(di);
  bool stored = false;
  {
    MutexLock lock(di.Polling.Lock);
    if (!(di.Polling.PrefixWindow == di.Global.Prefix)) {
      HuntStep(di, client);
    } else if (di.Polling.MessageBuffer.empty()) {
      StartStep(di, client, log);
    } else {
      stored = BodyStep(di, client, log);
    }
  }
  log.WriteTo(di);
  return stored;
}

namespace {

// What a phase changes: the bytes waiting, the window, the buffer, the store.
struct ReceptionMark {
  int Waiting = 0;
  std::size_t Window = 0;
  std::size_t Buffer = 0;
  std::size_t Stored = 0;
  bool operator==(const ReceptionMark &) const = default;
};

ReceptionMark MarkOf(DriverInstance &di, LineClient &client) {
  ReceptionMark m;
  m.Waiting = client.ReceivedCount();
  m.Stored = di.Received.Count();
  MutexLock lock(di.Polling.Lock);
  m.Window = di.Polling.PrefixWindow.size();
  m.Buffer = di.Polling.MessageBuffer.size();
  return m;
}

}  // namespace

bool ReceiveWhatWaits(DriverInstance &di, LineClient &client) {
  ReceptionMark before = MarkOf(di, client);
  for (;;) {
    if (ReceiveStep(di, client)) return true;
    const ReceptionMark after = MarkOf(di, client);
    // An unchanged mark: the phase waits for bytes that have not arrived.
    if (after.Stored != before.Stored || after == before) return false;
    before = after;
  }
}

void StoreMessage(DriverInstance &di, std::string_view message) {
  DeferredDebug log(di);
  {
    MutexLock lock(di.Polling.Lock);
    StoreMessageLocked(di, message, log);
  }
  log.WriteTo(di);
}

void ExtractStep(DriverInstance &di) {
  ReceivedMessage head;
  if (!di.Received.CopyOldest(head)) return;
  if (di.Log.Enabled()) di.Debug("ExtractDATA, mess", HexText(head.Message.view()).view());
  const int result = DecodeResponse(di, head.Message, head.RequestFrame);
  const char digit = static_cast<char>('0' + result);
  di.Debug("ExtractDATA", std::string("DecodeMess = ") + digit);
  // Only this thread appends, so the head is still the message just decoded
  // (or the store was emptied meanwhile and there is nothing to drop).
  di.Received.DropOldest();
}

void ResetReception(DriverInstance &di) {
  MutexLock lock(di.Polling.Lock);
  di.Polling.ResetReception();
}

}  // namespace zl
