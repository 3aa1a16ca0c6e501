// The platform beep on Windows: the system's own, unless a hook is installed
// (tests record it instead of sounding it).
#include "port/Beep.h"

#include <windows.h>

#include <atomic>

namespace zl {
namespace {

std::atomic<BeepHook> g_hook{nullptr};

}  // namespace

void Beep(int frequencyHz, int durationMs) {
  if (BeepHook hook = g_hook.load()) {
    hook(frequencyHz, durationMs);
  } else {
    ::Beep(static_cast<DWORD>(frequencyHz), static_cast<DWORD>(durationMs));
  }
}

BeepHook SetBeepHook(BeepHook hook) {
  return g_hook.exchange(hook);
}

}  // namespace zl
