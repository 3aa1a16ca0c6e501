// The system's beep on Windows.
#include "port/Beep.h"

#include <windows.h>

namespace zl {

void SystemBeep(int frequencyHz, int durationMs) {
  ::Beep(static_cast<DWORD>(frequencyHz), static_cast<DWORD>(durationMs));
}

}  // namespace zl
