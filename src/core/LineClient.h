// The line as the rest of the driver sees it: a serial-port-like byte
// interface to the ZL2 line gateway. GatewayClient implements it over TCP;
// tests use fakes.
//
// Threads: the receive side (ReceivedCount, ReadByte, ReadBytes,
// ClearReceived), SendFrame and CanTransmit are called from the communication
// thread (and ClearReceived from the host's thread too); SetEndpoint, Connect
// and Disconnect only from the host's thread. Implementations guard their own
// state.
#ifndef ZL_CORE_LINECLIENT_H
#define ZL_CORE_LINECLIENT_H

#include <atomic>
#include <cstdint>
#include <string>

#include "util/Text.h"

namespace zl {

// The two bytes handed to SendFrame and CanTransmit: LineTag, then the
// polling cycle's state (its "mode byte").
struct LineState {
  std::atomic<uint8_t> LineTag{222};
  std::atomic<uint8_t> CycleState{0};
};

class LineClient {
 public:
  virtual ~LineClient() = default;

  virtual bool Connected() const = 0;
  virtual bool PollEnabled() const = 0;
  virtual std::string Host() const = 0;
  virtual int Port() const = 0;

  // Host's thread: point the client at a gateway, open and close the connection.
  virtual void SetEndpoint(const std::string &host, int port) = 0;
  virtual bool Connect() = 0;
  virtual void Disconnect() = 0;

  // Receive store: bytes received and not yet taken, oldest first.
  virtual int ReceivedCount() = 0;
  // Takes the first byte into b when one is there; b is left unchanged
  // otherwise. Always answers 0.
  virtual int ReadByte(uint8_t &b) = 0;
  // Takes up to maxCount bytes (at most 255) from the front.
  virtual Str255 ReadBytes(uint16_t maxCount) = 0;
  virtual void ClearReceived() = 0;

  // Sets the mode byte (CycleState) to newMode unless it is 0xFE, then sends
  // the frame when connected.
  virtual void SendFrame(LineState &state, const Str255 &frame, uint8_t newMode) = 0;
  virtual int PendingOutput() = 0;
  virtual bool CanTransmit(const LineState &state) = 0;
};

}  // namespace zl

#endif  // ZL_CORE_LINECLIENT_H
