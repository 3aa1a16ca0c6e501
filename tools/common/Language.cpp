#include "common/Language.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <string_view>

namespace zl::tools {

CLI::Option *AddLanguageOption(CLI::App &app, std::string &field) {
  auto store = [&field](const std::string &value) {
    if (value != "cs" && value != "en")
      throw CLI::ValidationError("--lang takes cs or en, not \"" + value + "\"");
    field = value;
  };
  return app
      .add_option_function<std::string>("--lang", store,
                                        "the language of messages: cs or en (default: the locale)")
      ->type_name("cs|en");
}

Language ChooseLanguage(const std::string &option) {
  if (option == "cs") return Language::Czech;
  if (option == "en") return Language::English;
  for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char *value = std::getenv(name);
    if (!value || !*value) continue;
    return std::string_view(value).substr(0, 2) == "cs" ? Language::Czech : Language::English;
  }
  return Language::English;
}

void UseLanguage(Language language) {
  SetLanguage(language);
  ::setenv("ZLNETDRV_LANG", language == Language::English ? "en" : "cs", 1);
}

}  // namespace zl::tools
