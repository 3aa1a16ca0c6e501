#include "port/File.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

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

namespace {

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    if (!WriteFile(file, bytes.data(), want, &n, nullptr) || n == 0) return false;
    bytes.remove_prefix(n);
  }
  return true;
}

}  // namespace

bool AppendToFile(const std::string &path, std::string_view bytes) {
  if (path.empty()) return false;
  // FILE_FLAG_OPEN_REPARSE_POINT opens a symbolic link itself, not its
  // target; writing to it then fails.
  HANDLE file =
      CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD attributes = GetFileAttributesA(path.c_str());
  bool ok = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
            WriteAll(file, bytes);
  if (!CloseHandle(file)) ok = false;
  return ok;
}

bool WriteFileAnew(const std::string &path, std::string_view bytes) {
  if (path.empty()) return false;
  // A name of its own beside the file: the process and a counter.
  static LONG counter = 0;
  const std::string partial = path + "." + std::to_string(GetCurrentProcessId()) + "." +
                              std::to_string(InterlockedIncrement(&counter)) + ".tmp";
  HANDLE file = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(file, bytes);
  if (!CloseHandle(file)) ok = false;
  if (ok) ok = MoveFileExA(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (!ok) DeleteFileA(partial.c_str());
  return ok;
}

}  // namespace zl
