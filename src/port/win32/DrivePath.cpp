// Paths on Windows are native as written: "C:\ZLNETDRV.LOG" is that file. The
// driver's texts are Windows-1250; the C runtime and the A calls read the
// ANSI code page, so the path is converted to it.
#include "port/DrivePath.h"

#include <windows.h>

#include "port/win32/WideText.h"

namespace zl {

std::string MapDrivePath(std::string_view path) {
  return AnsiFromCp1250(path);
}

bool DirectoryExists(std::string_view path) {
  if (path.empty()) return false;
  DWORD attributes = GetFileAttributesW(WideFromCp1250(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace zl
