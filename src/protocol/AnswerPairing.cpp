#include "protocol/AnswerPairing.h"

namespace zl {

namespace {

bool Addressed(uint8_t type) {
  return type == 'Y' || type == 'y';
}

// Offset of the first item that is not routing, or 0 when there is none
// before the checksum.
std::size_t FirstItem(const Str255 &message) {
  const std::size_t end = message.size() - 1;  // the checksum
  std::size_t at = Addressed(message[2]) ? 6 : 2;
  while (at < end && (message[at] == 'L' || message[at] == 'R')) at += 2;
  return at < end ? at : 0;
}

}  // namespace

uint8_t NamedAddress(const Str255 &message) {
  if (message.size() < 3) return 0;
  if (!Addressed(message[2])) return message[0];
  return message.size() >= 6 ? message[5] : 0;
}

bool EchoOf(const GlobalSettings &global, const Str255 &message, const Str255 &frame) {
  const std::size_t p = global.Prefix.size();
  return !message.empty() && frame.size() >= p + message.size() &&
         frame.view().substr(p, message.size()) == message.view();
}

bool AnswersFrame(const GlobalSettings &global, const Str255 &message, const Str255 &frame) {
  const std::size_t p = global.Prefix.size();
  const std::size_t trailer = global.PreSuffix.size() + 1 + global.Suffix.size();
  // Header of six bytes and a command of at least one.
  if (frame.size() < p + 7 + trailer || message.size() < 4) return false;
  const uint8_t station = frame[p + 4];
  if (NamedAddress(message) != station) return false;
  const std::size_t c = FirstItem(message);
  if (c == 0) return false;
  const uint8_t letter = message[c];
  if (letter == 'E') return true;

  const std::string_view cmd = frame.view().substr(p + 6, frame.size() - p - 6 - trailer);
  const auto cmdAt = [&](std::size_t i) { return static_cast<uint8_t>(cmd[i]); };
  if (letter != cmdAt(0)) return false;
  const std::size_t end = message.size() - 1;
  // Bytes i .. i + n - 1 of the item lie before the checksum and equal the
  // command's bytes from j.
  const auto same = [&](std::size_t i, std::size_t j, std::size_t n) {
    if (c + i + n > end || j + n > cmd.size()) return false;
    for (std::size_t k = 0; k < n; ++k)
      if (message[c + i + k] != cmdAt(j + k)) return false;
    return true;
  };
  switch (letter) {
    case 'B':
    case 'C':
    case 'A':
    case 'K':
    case 'b':
    case 'k':
      return same(1, 1, 1);
    case 'N':
    case 'n':
      return same(1, 1, 2);
    case 'Q': {
      if (cmd.size() < 2 || c + 1 >= end) return false;
      const uint8_t sub = message[c + 1];
      switch (cmdAt(1)) {
        case 'Q':
          return sub == 'Q' || sub == 'X';
        case 'q': {
          if (sub != 'q' && sub != 'x') return false;
          const std::size_t values = 4 * ((cmd.size() - 2) / 3);
          const std::size_t carried = end - (c + 2);
          return carried == values || carried == values + global.PreSuffix.size();
        }
        case 'N':
          return sub == 'N' && same(2, 2, 3);
        default:
          return sub == cmdAt(1);
      }
    }
    default:
      return true;
  }
}

}  // namespace zl
