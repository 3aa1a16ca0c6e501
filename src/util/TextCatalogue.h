// A language's catalogue: one wording for every TextId, in the enum's order,
// and the socket error texts. Each language is one file of this form
// (TextsCzech.cpp, TextsEnglish.cpp); Texts.cpp picks the one the driver
// speaks.
#ifndef ZL_UTIL_TEXTCATALOGUE_H
#define ZL_UTIL_TEXTCATALOGUE_H

#include <cstddef>
#include <span>

#include "util/Texts.h"

namespace zl {

struct TextCatalogue {
  std::span<const TextEntry> Texts;
  std::span<const SocketErrorEntry> SocketErrors;
};

// True when the table names every TextId once, in the enum's order: a
// missing or misplaced wording fails the build, not the operator.
template <std::size_t N>
constexpr bool IsComplete(const TextEntry (&table)[N]) {
  if (N != static_cast<std::size_t>(TextId::Count)) return false;
  for (std::size_t i = 0; i < N; ++i)
    if (static_cast<std::size_t>(table[i].Id) != i) return false;
  return true;
}

extern const TextCatalogue kCzechCatalogue;
extern const TextCatalogue kEnglishCatalogue;

}  // namespace zl

#endif  // ZL_UTIL_TEXTCATALOGUE_H
