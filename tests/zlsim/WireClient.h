// A loopback client for the simulator's tests: raw bytes out, raw bytes in,
// with generous deadlines so that a slow machine only makes tests slower.
#ifndef ZL_TESTS_ZLSIM_WIRECLIENT_H
#define ZL_TESTS_ZLSIM_WIRECLIENT_H

#include <cstdint>
#include <string>
#include <string_view>

namespace zl::test {

class WireClient {
 public:
  explicit WireClient(uint16_t port);
  ~WireClient();
  WireClient(const WireClient &) = delete;
  WireClient &operator=(const WireClient &) = delete;

  bool Connected() const { return fd_ >= 0; }
  void Send(std::string_view bytes);

  // One message: hunts prefix (the bytes before it go to skipped), reads the
  // length byte and what it announces, then suffixLength more bytes. Empty
  // when nothing complete arrives within timeoutMs.
  std::string ReadMessage(std::string_view prefix, std::size_t suffixLength,
                          std::string *skipped = nullptr, int timeoutMs = 5000);
  // True when no byte arrives within ms (the bytes that do are kept).
  bool QuietFor(int ms);
  // True when the peer closes the connection within timeoutMs.
  bool ClosedByPeer(int timeoutMs = 5000);
  // Number of recv calls that returned data.
  int Reads() const { return reads_; }

 private:
  bool Fill(int timeoutMs);  // waits for more bytes; false on time-out or close
  bool Take(std::size_t n, std::string &out, int timeoutMs);

  int fd_ = -1;
  std::string buffer_;
  bool closed_ = false;
  int reads_ = 0;
};

}  // namespace zl::test

#endif  // ZL_TESTS_ZLSIM_WIRECLIENT_H
