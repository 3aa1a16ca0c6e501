#include "util/Texts.h"

#include <map>
#include <vector>

#include "util/Text.h"
#include "util/TextCatalogue.h"

namespace zl {
namespace {

// The driver's catalogue converted to Windows-1250, once, on first use; never
// destroyed. Read-only afterwards, so every thread may look up.
struct ConvertedCatalogue {
  std::vector<std::string> Texts;
  std::map<int, std::string> SocketErrors;

  explicit ConvertedCatalogue(const TextCatalogue &source) {
    Texts.reserve(source.Texts.size());
    for (const TextEntry &e : source.Texts) Texts.push_back(Cp1250(e.Utf8));
    for (const SocketErrorEntry &e : source.SocketErrors)
      SocketErrors.emplace(e.Code, Cp1250(e.Utf8));
  }
};

const ConvertedCatalogue &Catalogue() {
  static const ConvertedCatalogue &catalogue = *new ConvertedCatalogue(kCzechCatalogue);
  return catalogue;
}

}  // namespace

const std::string &Say(TextId id) {
  return Catalogue().Texts[static_cast<std::size_t>(id)];
}

const std::string &SocketErrorText(int code) {
  const ConvertedCatalogue &c = Catalogue();
  auto it = c.SocketErrors.find(code);
  return it == c.SocketErrors.end() ? Say(TextId::SocketErrorUnspecified) : it->second;
}

}  // namespace zl
