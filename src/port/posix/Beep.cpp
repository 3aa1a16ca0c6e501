// Linux has no speaker a library could sound: the system's beep is silent.
#include "port/Beep.h"

namespace zl {

void SystemBeep(int, int) {}

}  // namespace zl
