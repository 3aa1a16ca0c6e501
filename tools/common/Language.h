// The language the tools speak to their user, and the driver's with it:
// English unless the user's locale is Czech, or --lang says otherwise.
#ifndef ZL_TOOLS_COMMON_LANGUAGE_H
#define ZL_TOOLS_COMMON_LANGUAGE_H

#include <string>

#include "util/Texts.h"

// The CLI11 types these helpers take; only the files that declare options
// include CLI11 itself.
namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace zl::tools {

// --lang cs|en on the application, stored into field ("" when not given).
CLI::Option *AddLanguageOption(CLI::App &app, std::string &field);

// The language of --lang when it was given ("cs" or "en"), else of the
// locale: the first of LC_ALL, LC_MESSAGES and LANG that is set and not
// empty, Czech when it starts with "cs", English otherwise.
Language ChooseLanguage(const std::string &option);

// Makes the language the one of every catalogue text in this process, and of
// a driver the process loads later (ZLNETDRV_LANG, read by MakeDriver).
void UseLanguage(Language language);

}  // namespace zl::tools

#endif  // ZL_TOOLS_COMMON_LANGUAGE_H
