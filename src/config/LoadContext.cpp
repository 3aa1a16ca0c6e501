#include "config/LoadContext.h"

#include <algorithm>
#include <cstring>

namespace zl {

void LoadContext::SetError(std::string_view text) {
  std::memset(ErrorText, 0, sizeof ErrorText);
  std::memcpy(ErrorText, text.data(), std::min<std::size_t>(text.size(), 80));
}

}  // namespace zl
