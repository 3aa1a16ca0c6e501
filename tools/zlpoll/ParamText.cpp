#include "zlpoll/ParamText.h"

namespace zl::poll {

std::string SetGlobalValue(std::string text, const std::string &keyword, const std::string &value) {
  const std::size_t stations = text.find("[STATION]");
  std::size_t line = 0;
  while (line < text.size() && line < stations) {
    std::size_t p = line;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
    if (text.compare(p, keyword.size(), keyword) == 0 && p + keyword.size() < text.size() &&
        (text[p + keyword.size()] == ' ' || text[p + keyword.size()] == '\t')) {
      std::size_t v = p + keyword.size();
      while (v < text.size() && (text[v] == ' ' || text[v] == '\t')) ++v;
      std::size_t end = v;
      while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != '\r' &&
             text[end] != '\n')
        ++end;
      return text.replace(v, end - v, value);
    }
    const std::size_t next = text.find('\n', line);
    if (next == std::string::npos) break;
    line = next + 1;
  }
  return text;
}

}  // namespace zl::poll
