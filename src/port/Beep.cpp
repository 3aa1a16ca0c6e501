// The beep: the installed hook when there is one (tests record the beep
// instead of sounding it), else the system's own.
#include "port/Beep.h"

#include <atomic>

namespace zl {
namespace {

std::atomic<BeepHook> g_hook{nullptr};

}  // namespace

void Beep(int frequencyHz, int durationMs) {
  if (BeepHook hook = g_hook.load()) {
    hook(frequencyHz, durationMs);
  } else {
    SystemBeep(frequencyHz, durationMs);
  }
}

BeepHook SetBeepHook(BeepHook hook) {
  return g_hook.exchange(hook);
}

}  // namespace zl
