#include "exchange/VariableRequests.h"

#include <bit>
#include <mutex>

#include "core/DriverInstance.h"
#include "core/RequestQueues.h"
#include "util/Encodings.h"

namespace zl {

namespace {

constexpr int kStringParts = 8;

// The 4 value bytes a write sends; false for a type that sends none.
bool WriteValue(const QqVariable &variable, const QqValue &v, uint32_t &bits) {
  switch (variable.Type) {
    case kQqByte:
    case kQqWord:
    case kQqInteger:
    case kQqCardinal:
      bits = static_cast<uint32_t>(Truncate(static_cast<double>(v.Number)));
      return true;
    case kQqLongint:
      bits = static_cast<uint32_t>(v.Int);
      return true;
    case kQqReal:
      bits = std::bit_cast<uint32_t>(v.Number);
      return true;
    default:
      return false;
  }
}

}  // namespace

void QueueVariableRequest(DriverInstance &di, const QqVariable &variable, const QqValue &value,
                          uint8_t stationNo, VariableRequest mode) {
  const uint8_t a1 = variable.Address[0], a2 = variable.Address[1], a3 = variable.Address[2];
  if (mode == VariableRequest::Read) {
    const int parts = variable.Type == kQqString ? kStringParts : 1;
    for (int i = 0; i < parts; ++i) {
      const char data[3] = {static_cast<char>(a1), static_cast<char>(a2),
                            static_cast<char>(static_cast<uint8_t>(a3 + i))};
      di.Queues.Enqueue(QueueId::Secondary, stationNo, kReadQq, 0, std::string_view(data, 3));
    }
    return;
  }

  uint32_t bits = 0;
  bool sends;
  {
    MutexLock lock(di.DataLock);
    sends = WriteValue(variable, value, bits);
  }
  if (!sends) return;
  const char data[7] = {static_cast<char>(a1),        static_cast<char>(a2),
                        static_cast<char>(a3),        static_cast<char>(bits & 0xFF),
                        static_cast<char>(bits >> 8), static_cast<char>(bits >> 16),
                        static_cast<char>(bits >> 24)};
  di.Queues.Enqueue(QueueId::Primary, stationNo, kWriteQq, 0, std::string_view(data, 7));
}

}  // namespace zl
