#include "port/File.h"

#include <windows.h>

#include <algorithm>

namespace zl {

bool ReadRegularFile(const std::string &path, std::string &out, std::size_t maxSize) {
  if (path.empty()) return false;
  // A directory does not open without backup semantics; devices and pipes
  // are told apart by their type.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) &&
            static_cast<unsigned long long>(size.QuadPart) <= maxSize;
  if (ok) {
    out.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t got = 0;
    while (got < out.size()) {
      DWORD n = 0;
      DWORD want = static_cast<DWORD>(std::min<std::size_t>(out.size() - got, 1u << 20));
      if (!ReadFile(file, out.data() + got, want, &n, nullptr)) ok = false;
      if (!ok || n == 0) break;
      got += n;
    }
    out.resize(got);
  }
  CloseHandle(file);
  return ok;
}

}  // namespace zl
