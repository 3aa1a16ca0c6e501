// On Linux the status window is its model alone: the host reads it through
// GetStatusWindow and drives it through ClickButton, and nothing is drawn.
#include "port/Window.h"

namespace zl {

std::unique_ptr<FormView> MakeFormView(Form &) {
  return nullptr;
}

}  // namespace zl
