// The platform beep. Linux has no speaker to sound from a library, so the
// beep is a hook: nothing by default, a recorder in tests.
#ifndef ZL_PORT_BEEP_H
#define ZL_PORT_BEEP_H

namespace zl {

using BeepHook = void (*)(int frequencyHz, int durationMs);

// Sounds the beep through the installed hook (none: nothing happens).
void Beep(int frequencyHz, int durationMs);

// Installs hook (nullptr: silent again); answers the previous one.
BeepHook SetBeepHook(BeepHook hook);

}  // namespace zl

#endif  // ZL_PORT_BEEP_H
