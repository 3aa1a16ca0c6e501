// The driver's own windows besides the message loop's: MessageLoop::Pump
// dispatches their messages too, so that a host without a message loop of
// its own (PumpMessages) still gets a status window that paints and answers.
#ifndef ZL_PORT_WIN32_DRIVERWINDOWS_H
#define ZL_PORT_WIN32_DRIVERWINDOWS_H

#include <windows.h>

#include <vector>

namespace zl {

void RegisterDriverWindow(HWND window);
void UnregisterDriverWindow(HWND window);
std::vector<HWND> DriverWindows();

// The module this code lives in (the driver's library), which owns the
// driver's window classes.
HINSTANCE ThisModule();

}  // namespace zl

#endif  // ZL_PORT_WIN32_DRIVERWINDOWS_H
