#include "protocol/Decoder.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/SampleBuffer.h"
#include "protocol/DeferredDebug.h"
#include "protocol/RequestFrames.h"
#include "util/Encodings.h"
#include "util/Texts.h"

namespace zl {

namespace {

constexpr std::size_t kEventIndent = 60;
// The indent as text, so that building an event line allocates nothing.
constexpr std::string_view kEventIndentText =
    "                                                            ";
static_assert(kEventIndentText.size() == kEventIndent);
constexpr std::size_t kEventNameEnd = 146;
constexpr std::size_t kEventHeadEnd = 149;

constexpr uint16_t kSampleBase = 0x8000;
constexpr int kSampleBlockBytes = 186;
constexpr int kSampleRecordBytes = 31;
constexpr int kSampleRecordsPerBlock = 6;

int SetBitCount(uint8_t mask) {
  int n = 0;
  for (int g = 0; g < 8; ++g) n += TestBit(mask, g) ? 1 : 0;
  return n;
}

uint32_t Le32(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Counter settling: the raw count times the factor becomes the value of a
// REAL counter, or is added to any other kind's value (which then counts
// again from 0).
void SettleCounter(Station &st, int i) {
  const CounterDef &counter = st.Counters[i];
  const double t = FromReal6(counter.Factor) * st.CounterRaw[i];
  if (counter.Kind == 1) {
    st.CounterValues[i] = ToReal6(t);
  } else {
    AddTo(st.CounterValues[i], t);
    st.CounterRaw[i] = 0;
  }
}

bool SampleKindMatches(uint8_t block, uint8_t kind) {
  switch (block) {
    case 1:
      return kind == kReadSamples1 || kind == kReadSamplesAlt1;
    case 2:
      return kind == kReadSamples2 || kind == kReadSamplesAlt2;
    case 3:
      return kind == kReadSamples3 || kind == kReadSamplesAlt3;
    default:
      return false;
  }
}

// The walk over one message's items for one station. Caller holds DataLock.
class MessageWalk {
 public:
  MessageWalk(DriverInstance &di, Station &st, const Str255 &message, const Str255 &frame,
              Str255 &event, DeferredDebug &log)
      : di_(di),
        st_(st),
        msg_(message),
        frame_(frame),
        len_(message.size()),
        end_(message.empty() ? 0 : message.size() - 1),
        event_(event),
        log_(log) {}

  // Walks from position 3 while the cursor stays below the message length.
  void Run() {
    di_.DataLock.AssertHeld();  // the walk runs inside the decoder's DataLock section
    std::size_t c = 3;
    while (c < len_) {
      if (!Item(c)) return;
      ++c;
    }
  }
  bool AckNeeded() const { return ack_; }

 private:
  uint8_t At(std::size_t pos) const { return msg_.at1(pos); }
  const uint8_t *Ptr(std::size_t pos) const { return msg_.bytes() + pos - 1; }
  // Positions first .. first + count - 1 lie before the checksum.
  bool Fits(std::size_t first, std::size_t count) const {
    return first >= 1 && first + count <= end_ + 1;
  }
  void Text(std::string_view s) { event_ += s; }

  // Handles the item whose letter is at c and moves c to its last byte.
  // False ends the walk.
  bool Item(std::size_t &c) REQUIRES(di_.DataLock) {
    switch (At(c)) {
      case 'Y':
      case 'y':
        c += 3;
        return true;
      case 'L':
      case 'R':
        c += 1;
        return true;
      case 'H':
        st_.ActiveMessage = 1;
        st_.Online = 1;
        ack_ = true;
        Text("AH ");
        return true;
      case 'X':
        st_.ControlError = 1;
        ack_ = true;
        Text(Say(TextId::ControlError));
        return true;
      case 'E':
        return ErrorItem(c);
      case 'B':
        return BinaryInputs(c);
      case 'b':
      case 'k':
        return SkippedGroups(c);
      case 'A':
        return AnalogInputs(c);
      case 'K':
        return MemoryOutputs(c);
      case 'C':
        return Counters(c);
      case 'N':
        return MemoryRead(c);
      case 'n':
        return MemoryWritten(c);
      case 'Q':
        return QqFamily(c);
      default:
        return false;
    }
  }

  bool ErrorItem(std::size_t &c) {
    if (!Fits(c + 1, 1)) return false;
    const uint8_t number = At(c + 1);
    CountOne(st_.ErrorItemCount);
    ++st_.FailCount;
    st_.Fault = 1;
    Text(Say(TextId::ErrorNumber));
    Text(NumberText(number, 10));
    Text(" (");
    Text(ErrorItemText(number));
    Text(") ");
    c += 1;
    return true;
  }

  // "B": mask 0 carries all twelve groups, otherwise one byte per set bit.
  bool BinaryInputs(std::size_t &c) {
    if (!Fits(c + 1, 1)) return false;
    const uint8_t mask = At(c + 1);
    const int groups = mask == 0 ? kMaxBinaryIn / 8 : SetBitCount(mask);
    if (!Fits(c + 2, groups)) return false;
    std::size_t p = c + 2;
    for (int g = 0; g < kMaxBinaryIn / 8; ++g) {
      if (mask != 0 && !TestBit(mask, g)) continue;
      const uint8_t bits = At(p++);
      for (int k = 0; k < 8; ++k) st_.BinaryIn[8 * g + k] = TestBit(bits, k) ? 1 : 0;
    }
    st_.NewBinaryInputs = 1;
    Text("BI ");
    c = p - 1;
    return true;
  }

  // "b" (a binary output write echoed) and "k" (memory outputs written):
  // their data are passed over.
  bool SkippedGroups(std::size_t &c) {
    if (!Fits(c + 1, 1)) return false;
    const uint8_t mask = At(c + 1);
    if (At(c) == 'b') {
      c += 1 + (mask == 0 ? kMaxBinaryOut / 8 : SetBitCount(mask));
      Text("BO ");
    } else {
      c += 1 + 3 * SetBitCount(mask);
      Text("KO ");
    }
    return true;
  }

  bool AnalogInputs(std::size_t &c) {
    if (!Fits(c + 1, 1)) return false;
    const uint8_t mask = At(c + 1);
    if (!Fits(c + 2, 16 * SetBitCount(mask))) return false;
    std::size_t p = c + 2;
    for (int g = 0; g < 8; ++g) {
      if (!TestBit(mask, g)) continue;
      for (int j = 1; j <= 8; ++j, p += 2) AnalogInput(8 * g + j, At(p) << 8 | At(p + 1));
    }
    st_.NewAnalogInputs = 1;
    Text("AItolvin ");
    c = p - 1;
    return true;
  }

  // One analog word: bit 15 marks a 12-bit reading (0..4095), else 8 bits
  // (0..255); offset, limit, scale between Low and High.
  void AnalogInput(int i, unsigned word) {
    if (log_.On()) log_.Add("AI Word", FormatReal(word, 5, 0).view());
    double range = 255.0;
    if (TestBit(static_cast<uint16_t>(word), 15)) {
      range = 4095.0;
      word = ClearBit(static_cast<uint16_t>(word), 15);
    }
    const AnalogLimit &limit = st_.AnalogLimits[i];
    const double v = std::clamp(word + FromReal6(limit.Offset), 0.0, range);
    st_.AnalogRaw[i] = static_cast<uint16_t>(v);
    const double low = FromReal6(limit.Low);
    const double high = FromReal6(limit.High);
    st_.AnalogIn[i] = ToReal6(low + (high - low) * st_.AnalogRaw[i] / range);
    if (log_.On()) {
      log_.Add(std::string("ADSM ") + FormatReal(low, 10, 2).str(),
               std::string("ADHM ") + FormatReal(high, 10, 2).str());
      log_.Add(std::string("AI ") + FormatReal(i, 2, 0).str(),
               FormatReal(FromReal6(st_.AnalogIn[i]), 10, 2).view());
    }
  }

  // "K": memory outputs 1..8 as 3-byte reals, one per set mask bit.
  bool MemoryOutputs(std::size_t &c) {
    if (!Fits(c + 1, 1)) return false;
    const uint8_t mask = At(c + 1);
    if (!Fits(c + 2, 3 * SetBitCount(mask))) return false;
    std::size_t p = c + 2;
    for (int g = 0; g < 8; ++g) {
      if (!TestBit(mask, g)) continue;
      st_.MemoryOutValues[g + 1] = ToReal6(DecodeReal3(Bytes(p, 3)));
      p += 3;
    }
    st_.NewMemory = 1;
    Text("KI ");
    c = p - 1;
    return true;
  }

  // "C": bit 7 confirms a reset of the groups of bits 0..5 and carries no
  // data; otherwise eight big-endian counts per set bit among 0..5.
  bool Counters(std::size_t &c) {
    if (!Fits(c + 1, 1)) return false;
    const uint8_t mask = At(c + 1);
    if (TestBit(mask, 7)) {
      for (int g = 0; g < 6; ++g) {
        if (!TestBit(mask, g)) continue;
        for (int k = 1; k <= 8; ++k) SettleCounter(st_, 8 * g + k);
      }
      st_.NewCounters = 1;
      Text(Say(TextId::CounterReset));
      c += 1;
      return true;
    }
    const uint8_t groups = mask & 0x3F;
    if (!Fits(c + 2, 16 * SetBitCount(groups))) return false;
    Text("CTC ");
    std::size_t p = c + 2;
    for (int g = 0; g < 6; ++g) {
      if (!TestBit(groups, g)) continue;
      for (int k = 1; k <= 8; ++k, p += 2) {
        st_.CounterRaw[8 * g + k] = static_cast<uint16_t>(At(p) << 8 | At(p + 1));
        if (!st_.Phone.empty()) SettleCounter(st_, 8 * g + k);
      }
    }
    c = p - 1;
    return true;
  }

  // "N": a memory read answer, address (low first), length L, L bytes. Every
  // reading of the address that applies takes effect.
  bool MemoryRead(std::size_t &c) {
    if (!Fits(c + 1, 3)) return false;
    const uint16_t address = static_cast<uint16_t>(At(c + 1) | At(c + 2) << 8);
    const uint8_t length = At(c + 3);
    if (!Fits(c + 4, length)) return false;
    const std::string_view data = Bytes(c + 4, length);
    const int reals = length / 3;

    if (address == st_.AnalogInAddr) {
      Text("AI ");
      for (int i = 1; i <= std::min(reals, kMaxAnalogIn); ++i)
        st_.AnalogIn[i] = ToReal6(DecodeReal3(data.substr(3 * (i - 1), 3)));
      st_.NewAnalogInputs = 1;
    }
    const int inputs = std::min<int>(st_.NumMemoryIn, kMemoryListSize);
    if (st_.MemoryInBlockRead && length == 3 * st_.NumMemoryIn &&
        address == st_.MemoryIn[1].Address) {
      Text("MI/block");
      for (int i = 1; i <= std::min(reals, inputs); ++i)
        st_.MemoryInValues[i] = ToReal6(DecodeReal3(data.substr(3 * (i - 1), 3)));
      st_.NewMemory = 1;
    }
    if (length >= 1 && length <= 3 && inputs > 0) SingleMemoryInput(address, data, inputs);
    for (std::size_t b = 0; b < st_.MemoryBlocks.size() && b < st_.BlockItemValues.size(); ++b) {
      const MemoryBlock &block = st_.MemoryBlocks[b];
      if (static_cast<uint16_t>(block.Address) == address)
        DealBlockItems(block, st_.BlockItemValues[b], address, data);
    }
    c += 3 + length;
    return true;
  }

  // A single memory input at the address, read by the entry's own type.
  // Bytes the answer does not carry count as 0.
  void SingleMemoryInput(uint16_t address, std::string_view data, int inputs) {
    int k = 1;
    while (k <= inputs && st_.MemoryIn[k].Address != address) ++k;
    if (k > inputs) return;
    const MemoryItemDef &entry = st_.MemoryIn[k];
    uint8_t bytes[3] = {0, 0, 0};
    std::memcpy(bytes, data.data(), std::min<std::size_t>(data.size(), 3));
    double value = 0.0;
    switch (entry.Type) {
      case kMemByte:
        value = bytes[0];
        break;
      case kMemWord:
        value = bytes[0] | bytes[1] << 8;
        break;
      case kMemReal:
        value = DecodeReal3(std::string_view(reinterpret_cast<const char *>(bytes), 3));
        break;
      default:
        break;
    }
    st_.MemoryInValues[k] = ToReal6(value);
    st_.NewMemory = 1;
    Text("MI");
    Text(NumberText(k, 10));
    Text(" ");
    if (log_.On()) {
      log_.Add("decodeMess MI", std::string("index ") + FormatReal(k, 3, 0).str() + " adr " +
                                    HexWord(address).str() + " value " +
                                    FormatReal(FromReal6(st_.MemoryInValues[k]), 6, 1).str());
    }
  }

  // The block's items take the data in turn, each its own size of bytes.
  void DealBlockItems(const MemoryBlock &block, BlockValues &values, uint16_t address,
                      std::string_view data) {
    Text("MB(");
    Text(HexWord(address));
    Text(") ");
    std::size_t offset = 0;
    for (std::size_t item = 0; item < block.ItemCount(); ++item) {
      const uint8_t size = BlockItemSize(block.ItemTypes[item]);
      if (size == 0 || offset + size > data.size()) return;
      values[item] = data.substr(offset, size);
      offset += size;
    }
  }

  bool MemoryWritten(std::size_t &c) {
    if (!Fits(c + 1, 3)) return false;
    const uint16_t address = static_cast<uint16_t>(At(c + 1) | At(c + 2) << 8);
    Text(Say(TextId::MemoryWrite));
    Text(HexWord(address));
    Text(" ");
    c += 3 + At(c + 3);
    return true;
  }

  bool QqFamily(std::size_t &c) REQUIRES(di_.DataLock) {
    if (!Fits(c + 1, 1)) return false;
    switch (At(c + 1)) {
      case 'Q':
      case 'X':
        Text(Say(TextId::QqWriteDone));
        c = len_;
        return true;
      case 'q':
      case 'x':
        QqData(c);
        c = len_;
        return true;
      case 'N':
        return SampleBlock(c);
      case 'H':
        if (!Fits(c + 2, 1)) return false;
        if (At(c + 2) == '1') {
          Text("HESLO ");
          c += 7;
        } else {
          c += 2;
        }
        return true;
      case '!':
        c += 2;
        return true;
      default:
        c += 1;
        return true;
    }
  }

  // "Qq"/"Qx": the values of a QQ read, or an unsolicited QQ message when no
  // frame was waiting for an answer. The data run from c + 2 for (message
  // length - 9) bytes, never past the byte before the checksum.
  void QqData(std::size_t c) {
    const std::size_t declared = len_ >= 9 ? len_ - 9 : 0;
    const std::size_t available = end_ >= c + 2 ? end_ - c - 1 : 0;
    const std::string_view data = Bytes(c + 2, std::min(declared, available));
    if (frame_.empty()) {
      st_.ActiveMessage = 1;
      st_.Online = 1;
      if (data.size() >= 4) st_.RuntimeValue = Le32(reinterpret_cast<const uint8_t *>(data.data()));
      Text("AH ZL2 ");
      return;
    }
    // In the request frame "Q" and "q" follow PREFIX and the six header
    // bytes; the descriptors come after them.
    const std::size_t prefix = di_.Global.Prefix.size();
    if (frame_.at1(prefix + 8) != 'q') return;
    // The values belong to the frame's descriptors only when the frame went
    // to this very station. A message that came in unasked while a request
    // was in flight (an active message) is taken for its answer, and the
    // answers after it then meet the frames of later requests: decoded
    // against another station's descriptors they would land in variables
    // that were never read.
    if (frame_.at1(prefix + 5) != st_.Address) return;
    Text(Say(TextId::QqReadDone));
    Text(NumberText(static_cast<int64_t>(data.size() / 4), 10));
    Text("x) ");
    // The descriptors run to the frame's trailer (PRESUFFIX, checksum,
    // SUFFIX): an answer with more values than the frame asked for must not
    // take the trailer's bytes for one more variable's address.
    const std::string_view frame = frame_.view();
    const std::size_t trailer = di_.Global.PreSuffix.size() + 1 + di_.Global.Suffix.size();
    const std::string_view descriptors =
        prefix + 8 + trailer < frame.size()
            ? frame.substr(prefix + 8, frame.size() - trailer - (prefix + 8))
            : std::string_view();
    for (std::size_t d = 0, v = 0; d + 3 <= descriptors.size() && v + 4 <= data.size();
         d += 3, v += 4) {
      const auto *desc = reinterpret_cast<const uint8_t *>(descriptors.data() + d);
      StoreQqValue(desc, reinterpret_cast<const uint8_t *>(data.data() + v));
    }
  }

  void StoreQqValue(const uint8_t *desc, const uint8_t *value) {
    const QqVariable *var = nullptr;
    QqValue *stored = nullptr;
    unsigned part = 0;
    for (std::size_t p = 0; p < st_.QqVariables.size() && p < st_.QqValues.size(); ++p) {
      const QqVariable &candidate = st_.QqVariables[p];
      if (candidate.Address[0] != desc[0] || candidate.Address[1] != desc[1]) continue;
      // A STRING is read in eight 4-character parts whose third address
      // bytes follow its own, counted modulo 256 as the reads are queued.
      const unsigned offset = static_cast<uint8_t>(desc[2] - candidate.Address[2]);
      if ((candidate.Type == kQqString && offset <= 7) || offset == 0) {
        var = &candidate;
        stored = &st_.QqValues[p];
        part = offset;
        break;
      }
    }
    if (!var || (var->Direction != kQqRead && var->Direction != kQqBidir)) return;
    const uint32_t bits = Le32(value);
    switch (var->Type) {
      case kQqByte:
      case kQqWord:
      case kQqInteger:
        stored->Number = static_cast<float>(static_cast<int32_t>(bits));
        break;
      case kQqCardinal:
        stored->Number = static_cast<float>(bits);
        break;
      case kQqLongint:
        stored->Int = static_cast<int32_t>(bits);
        break;
      case kQqReal:
        stored->Number = static_cast<float>(FromReal6(DecodeSingle(bits)));
        break;
      case kQqString:
        for (unsigned j = 0; j < 4; ++j)
          stored->Text.set(4 * part + j, value[j] < 32 ? ' ' : value[j]);
        break;
      default:
        break;
    }
  }

  // "QN": kind, address (low first), length, data; six 31-byte records of
  // sample memory. Taken only for a whole block of the kind being read that
  // lies inside the table. The walk goes on one byte after the data. The
  // sample state's lock is taken after DataLock, which the decoder holds.
  bool SampleBlock(std::size_t &c) REQUIRES(di_.DataLock) EXCLUDES(di_.Sample.Lock) {
    if (!Fits(c + 2, 4)) return false;
    const uint8_t kind = At(c + 2);
    const uint16_t address = static_cast<uint16_t>(At(c + 3) | At(c + 4) << 8);
    const uint8_t length = At(c + 5);
    SampleState &sample = di_.Sample;
    MutexLock sampleLock(sample.Lock);
    if (Fits(c + 6, length) && address >= kSampleBase && length == kSampleBlockBytes &&
        SampleKindMatches(sample.Block, kind)) {
      const int a = address - kSampleBase;
      const int first = a / kSampleBlockBytes * kSampleRecordsPerBlock + 1;
      const int last = first + kSampleRecordsPerBlock - 1;
      // Rows are stored only while a transfer runs, from its own station,
      // and each block once.
      const std::size_t block = static_cast<std::size_t>(a / kSampleBlockBytes);
      if (a % kSampleBlockBytes == 0 && last <= kSampleRows && sample.Table &&
          sample.TransferRunning && di_.StationAt(sample.TransferStation) == &st_ &&
          block < sample.BlocksIn.size() && !sample.BlocksIn.test(block)) {
        sample.BlocksIn.set(block);
        if (sample.BlocksIn.all()) sample.TransferRunning = 0;
        StoreSampleRows(sample, Ptr(c + 6), first);
        if (last == kSampleRows) sample.Busy = 0;
        SampleBufferRowsStored(sample, static_cast<uint32_t>(last));
        Text("vzorky (");
        Text(NumberText(first, 10));
        Text(Say(TextId::SamplesUntil));
        Text(NumberText(last, 10));
        Text(") ");
      }
    }
    c += 6 + length;
    return true;
  }

  static void StoreSampleRows(SampleState &sample, const uint8_t *data, int first)
      REQUIRES(sample.Lock) {
    for (int r = 0; r < kSampleRecordsPerBlock; ++r) {
      const uint8_t *record = data + r * kSampleRecordBytes;
      uint8_t *row = sample.Table[first - 1 + r].Bytes;
      for (int i = 0; i < 6; ++i) row[i] = BcdValue(record[i]);
      row[6] = record[6];
      for (int v = 1; v <= 8; ++v) {
        row[4 * v + 3] = 3;
        std::memcpy(row + 4 * v + 4, record + 7 + 3 * (v - 1), 3);
      }
    }
  }

  std::string_view Bytes(std::size_t first, std::size_t count) const {
    return msg_.view().substr(first - 1, count);
  }

  DriverInstance &di_;
  Station &st_;
  const Str255 &msg_;
  const Str255 &frame_;
  const std::size_t len_;
  const std::size_t end_;  // the last position an item may read
  Str255 &event_;
  DeferredDebug &log_;
  bool ack_ = false;
};

// The station the message names, or 0.
int AddressedStation(const DriverInstance &di, const Str255 &message) {
  if (message.size() < 3) return 0;
  const uint8_t type = message.at1(3);
  uint8_t named = message.at1(1);
  if (type == 'Y' || type == 'y') {
    if (message.size() < 6 || message.at1(1) != di.Global.Address) return 0;
    named = message.at1(6);
  }
  // With a client, only the stations behind its gateway: another gateway's
  // station of the same address is another controller.
  std::string host;
  int port = 0;
  if (di.Client) {
    host = di.Client->Host();
    port = di.Client->Port();
  }
  for (int n = 1; n <= di.StationCount; ++n) {
    const StationConfig *st = di.ConfigAt(n);
    if (st && st->Address == named && (!di.Client || st->BehindGateway(host, port))) return n;
  }
  return 0;
}

}  // namespace

const std::string &ErrorItemText(uint8_t number) {
  return Say(number < 9 ? static_cast<TextId>(static_cast<int>(TextId::StatusPassiveOk) + number)
                        : TextId::StatusUnknown);
}

Str255 AcknowledgmentFrame(const GlobalSettings &global, const Str255 &message) {
  if (message.at1(3) != 'Y') {
    Str255 frame = global.Prefix;
    frame += message;
    frame += global.Suffix;
    return frame;
  }
  Str255 body;
  for (uint8_t b :
       {message.at1(4), uint8_t{0}, uint8_t{'y'}, uint8_t{0}, message.at1(6), uint8_t{0}}) {
    body.push_back(b);
  }
  if (message.size() > 7) body += message.view().substr(6, message.size() - 7);
  return AssembleFrame(global, body);
}

int DecodeResponse(DriverInstance &di, const Str255 &message, const Str255 &requestFrame) {
  DeferredDebug log(di);
  int result = 0;
  {
    MutexLock lock(di.DataLock);
    const int n = AddressedStation(di, message);
    if (n != 0) {
      Station &st = *di.StationAt(n);
      if (log.On()) log.Add("Mess", HexText(message.view()).view());
      st.SecondsSinceAnswer = Real6();
      st.SleepRemaining = Real6();
      st.TimeoutRun = 0;
      st.Fault = 0;

      Str255 event(kEventIndentText);
      event += "<<<-- ";
      event += st.Name;
      event.truncate(kEventNameEnd);
      event += " - ";
      event.truncate(kEventHeadEnd);

      MessageWalk walk(di, st, message, requestFrame, event, log);
      walk.Run();
      di.PendingEvent = event;
      if (walk.AckNeeded()) {
        log.Add("Answer", "AH");
        const Str255 ack = AcknowledgmentFrame(di.Global, message);
        if (log.On()) log.Add("SEND", HexText(ack.view()).view());
        // An acknowledgment still waiting for its pause is not replaced: an
        // active message that came during an exchange is acknowledged after
        // it, whatever the exchange's own answer carried.
        PollingState &cycle = di.Polling;
        MutexLock cycleLock(cycle.Lock);
        if (cycle.FollowUpPending) {
          cycle.MoreFollowUps.push_back(ack);
        } else {
          cycle.FollowUpFrame = ack;
          cycle.FollowUpPending = 1;
        }
      }
      result = 1;
    }
  }
  log.WriteTo(di);
  return result;
}

}  // namespace zl
