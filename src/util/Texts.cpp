#include "util/Texts.h"

#include <atomic>
#include <cstdlib>
#include <map>
#include <vector>

#include "util/Text.h"
#include "util/TextCatalogue.h"

namespace zl {
namespace {

// A catalogue converted to Windows-1250, once, on first use; never destroyed.
// Read-only afterwards, so every thread may look up.
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

std::atomic<Language> g_language{Language::Czech};

const ConvertedCatalogue &Catalogue() {
  static const ConvertedCatalogue &czech = *new ConvertedCatalogue(kCzechCatalogue);
  static const ConvertedCatalogue &english = *new ConvertedCatalogue(kEnglishCatalogue);
  return g_language.load(std::memory_order_relaxed) == Language::English ? english : czech;
}

}  // namespace

Language LanguageFromEnvironment() {
  const char *value = std::getenv("ZLNETDRV_LANG");
  if (!value) return Language::Czech;
  const std::string_view v(value);
  const bool english = v.size() >= 2 && (v[0] == 'e' || v[0] == 'E') &&
                       (v[1] == 'n' || v[1] == 'N') &&
                       (v.size() == 2 || v[2] == '_' || v[2] == '-' || v[2] == '.');
  return english ? Language::English : Language::Czech;
}

void SetLanguage(Language language) {
  g_language.store(language, std::memory_order_relaxed);
}

Language CurrentLanguage() {
  return g_language.load(std::memory_order_relaxed);
}

const std::string &Say(TextId id) {
  return Catalogue().Texts[static_cast<std::size_t>(id)];
}

std::string Say(TextId id, std::initializer_list<std::string_view> parts) {
  const std::string &pattern = Say(id);
  std::string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    const auto n = static_cast<std::size_t>(next - '1');
    if (pattern[i] == '%' && next >= '1' && next <= '9' && n < parts.size()) {
      out += parts.begin()[n];
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

const std::string &SocketErrorText(int code) {
  const ConvertedCatalogue &c = Catalogue();
  auto it = c.SocketErrors.find(code);
  return it == c.SocketErrors.end() ? Say(TextId::SocketErrorUnspecified) : it->second;
}

}  // namespace zl
