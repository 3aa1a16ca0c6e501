// The platform beep: the system's own (on Linux, which has no speaker to
// sound from a library, nothing), or a hook in its place (a recorder in tests).
#ifndef ZL_PORT_BEEP_H
#define ZL_PORT_BEEP_H

namespace zl {

using BeepHook = void (*)(int frequencyHz, int durationMs);

// Sounds the beep through the installed hook, else the system's beep.
void Beep(int frequencyHz, int durationMs);
// The system's beep, each backend's own.
void SystemBeep(int frequencyHz, int durationMs);

// Installs hook (nullptr: silent again); answers the previous one.
BeepHook SetBeepHook(BeepHook hook);

}  // namespace zl

#endif  // ZL_PORT_BEEP_H
