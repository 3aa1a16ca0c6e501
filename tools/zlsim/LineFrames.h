// ZL2 framing as the line gateway sees it: messages hunted in a byte stream
// by PREFIX and read by their length byte, and messages built for sending.
//
// A message, counted from the first byte after PREFIX:
//   0 first byte (the addressee's address in an answer, the retranslation
//     byte in a request), 1 LEN (the number of bytes after it, checksum
//     included), 2 type letter, 3..5 routing bytes, 6.. items, PRESUFFIX,
//   last: exclusive-or of every byte before it.
// On the wire PREFIX comes before it and SUFFIX after it.
#ifndef ZL_ZLSIM_LINEFRAMES_H
#define ZL_ZLSIM_LINEFRAMES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zl::sim {

// The longest message the driver can take in one piece (its message buffer
// holds 255 bytes).
constexpr std::size_t kMaxMessage = 255;
// Header bytes before the items.
constexpr std::size_t kHeaderSize = 6;

// Splits a received byte stream into messages. Bytes before a PREFIX (SUFFIX
// bytes, noise) are dropped; with an empty PREFIX every byte after a message
// starts the next one. A message may arrive in any number of pieces.
class FrameReader {
 public:
  explicit FrameReader(std::string prefix) : prefix_(std::move(prefix)) {}

  // Appends every message completed by these bytes to out, from the byte
  // after PREFIX through the checksum; the checksum is not tested here.
  void Feed(std::string_view bytes, std::vector<std::string> &out);
  void Reset();
  // Bytes dropped while hunting for PREFIX since the last call.
  std::size_t TakeSkipped();

 private:
  std::string prefix_;
  std::string window_;  // last bytes seen while hunting, at most the prefix's length
  bool inMessage_ = false;
  std::string message_;
  std::size_t skipped_ = 0;
};

// first, LEN, type, r3, r4, r5, items, presuffix, checksum. LEN is cut to
// 8 bits: callers keep the message within kMaxMessage.
std::string BuildMessage(uint8_t first, uint8_t type, uint8_t r3, uint8_t r4, uint8_t r5,
                         std::string_view items, std::string_view presuffix);

// "10 02 0A " style: two upper-case hexadecimal digits and a blank per byte.
std::string HexBytes(std::string_view bytes);

}  // namespace zl::sim

#endif  // ZL_ZLSIM_LINEFRAMES_H
