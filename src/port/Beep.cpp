#include "port/Beep.h"

#include <atomic>

namespace zl {
namespace {

std::atomic<BeepHook> g_hook{nullptr};

}  // namespace

void Beep(int frequencyHz, int durationMs) {
  if (BeepHook hook = g_hook.load()) hook(frequencyHz, durationMs);
}

BeepHook SetBeepHook(BeepHook hook) {
  return g_hook.exchange(hook);
}

}  // namespace zl
