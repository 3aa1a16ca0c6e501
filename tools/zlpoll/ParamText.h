// Small edits of a parameter file's text that keep everything else byte for
// byte (the demo's quicker line).
#ifndef ZL_ZLPOLL_PARAMTEXT_H
#define ZL_ZLPOLL_PARAMTEXT_H

#include <string>

namespace zl::poll {

// Replaces the value of a [GLOBAL] keyword that stands first on its line,
// before the first [STATION]; the text is returned unchanged when the keyword
// is not found there.
std::string SetGlobalValue(std::string text, const std::string &keyword, const std::string &value);

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_PARAMTEXT_H
