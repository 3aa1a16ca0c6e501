#include "zlsim/LineFrames.h"

#include "util/Checksum.h"

namespace zl::sim {

void FrameReader::Feed(std::string_view bytes, std::vector<std::string> &out) {
  for (char c : bytes) {
    if (!inMessage_) {
      if (!prefix_.empty()) {
        window_ += c;
        if (window_.size() > prefix_.size()) {
          window_.erase(0, 1);
          ++skipped_;
        }
        if (window_ != prefix_) continue;
        window_.clear();
        inMessage_ = true;
        message_.clear();
        continue;
      }
      inMessage_ = true;
      message_.clear();
    }
    message_ += c;
    // Complete once LEN bytes have followed the length byte.
    if (message_.size() >= 2 && message_.size() == 2u + static_cast<uint8_t>(message_[1])) {
      out.push_back(message_);
      message_.clear();
      inMessage_ = false;
    }
  }
}

void FrameReader::Reset() {
  window_.clear();
  message_.clear();
  inMessage_ = false;
}

std::size_t FrameReader::TakeSkipped() {
  std::size_t n = skipped_;
  skipped_ = 0;
  return n;
}

std::string BuildMessage(uint8_t first, uint8_t type, uint8_t r3, uint8_t r4, uint8_t r5,
                         std::string_view items, std::string_view presuffix) {
  std::string m;
  m.reserve(kHeaderSize + items.size() + presuffix.size() + 1);
  m += static_cast<char>(first);
  m += '\0';  // LEN, set below
  m += static_cast<char>(type);
  m += static_cast<char>(r3);
  m += static_cast<char>(r4);
  m += static_cast<char>(r5);
  m += items;
  m += presuffix;
  m[1] = static_cast<char>(static_cast<uint8_t>(m.size() - 1));
  m += static_cast<char>(XorChecksum(m));
  return m;
}

std::string HexBytes(std::string_view bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  s.reserve(bytes.size() * 3);
  for (char c : bytes) {
    auto b = static_cast<uint8_t>(c);
    s += digits[b >> 4];
    s += digits[b & 15];
    s += ' ';
  }
  return s;
}

}  // namespace zl::sim
