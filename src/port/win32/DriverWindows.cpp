#include "port/win32/DriverWindows.h"

#include <algorithm>
#include <mutex>

namespace zl {
namespace {

std::mutex g_mutex;
std::vector<HWND> &Windows() {
  static std::vector<HWND> windows;
  return windows;
}

}  // namespace

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

void RegisterDriverWindow(HWND window) {
  if (!window) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  Windows().push_back(window);
}

void UnregisterDriverWindow(HWND window) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto &w = Windows();
  w.erase(std::remove(w.begin(), w.end(), window), w.end());
}

std::vector<HWND> DriverWindows() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return Windows();
}

}  // namespace zl
