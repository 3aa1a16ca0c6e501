#include "port/DrivePath.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "util/Text.h"

namespace zl {
namespace {

bool Exists(const std::string &path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The entry of dir whose name equals name, exactly or else ignoring ASCII case.
std::string FindEntry(const std::string &dir, const std::string &name) {
  std::string exact = dir == "/" ? "/" + name : dir + "/" + name;
  if (Exists(exact)) return name;
  DIR *d = ::opendir(dir.c_str());
  if (!d) return name;
  std::string found = name;
  while (struct dirent *e = ::readdir(d)) {
    if (EqualsIgnoreAsciiCase(e->d_name, name)) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
}

std::string CurrentDirectory() {
  std::vector<char> buf(4096);
  if (::getcwd(buf.data(), buf.size())) return buf.data();
  return ".";
}

// An absolute folder from the environment, or an empty text.
std::string AbsoluteFromEnvironment(const char *name) {
  const char *value = std::getenv(name);
  return value && value[0] == '/' ? std::string(value) : std::string();
}

// Drive C: of a host that maps none: the user's state folder, made on first
// use, so that the debug log and the sample files do not land in whatever
// folder the host was started from. Without a home, the current directory.
std::string UnmappedDriveC() {
  std::string base = AbsoluteFromEnvironment("XDG_STATE_HOME");
  if (base.empty()) {
    const std::string home = AbsoluteFromEnvironment("HOME");
    if (home.empty()) return CurrentDirectory();
    base = home + "/.local/state";
  }
  const std::string folder = base + "/zlnetdrv";
  if (!Exists(folder)) {
    // Each missing level in turn; a level that cannot be made shows when the
    // file is opened, with the error of that call.
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
      ::mkdir(folder.substr(0, slash).c_str(), 0700);
    }
    ::mkdir(folder.c_str(), 0700);
  }
  return folder;
}

// The folder a drive letter stands for; empty when the drive is not mapped.
std::string DriveRoot(char letter) {
  std::string var = std::string("ZLNETDRV_DRIVE_") + letter;
  const char *mapped = std::getenv(var.c_str());
  if (mapped && *mapped) return mapped;
  return letter == 'C' ? UnmappedDriveC() : std::string();
}

}  // namespace

std::string MapDrivePath(std::string_view path) {
  std::string root;
  std::string_view rest = path;
  if (path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    root = DriveRoot(static_cast<char>(path[0] & ~0x20));
    if (root.empty()) return std::string();
    rest = path.substr(2);
  } else if (!path.empty() && path[0] == '\\') {
    // "\dir\FILE": the root of the current drive, which is C:.
    root = DriveRoot('C');
  } else if (!path.empty() && path[0] == '/') {
    root = "/";
  } else {
    root = CurrentDirectory();
  }
  while (root.size() > 1 && root.back() == '/') root.pop_back();

  std::string result = root;
  bool trailing = !rest.empty() && (rest.back() == '\\' || rest.back() == '/');
  std::size_t i = 0;
  while (i < rest.size()) {
    std::size_t j = i;
    while (j < rest.size() && rest[j] != '\\' && rest[j] != '/') ++j;
    std::string part(rest.substr(i, j - i));
    i = j + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      // As on a Windows drive, ".." stops at the root: never above it.
      if (result.size() > root.size()) {
        std::size_t slash = result.find_last_of('/');
        result = slash == 0 || slash == std::string::npos ? "/" : result.substr(0, slash);
      }
      continue;
    }
    part = FindEntry(result, part);
    result = result == "/" ? "/" + part : result + "/" + part;
  }
  if (trailing && result != "/") result += '/';
  return result;
}

bool DirectoryExists(std::string_view path) {
  std::string native = MapDrivePath(path);
  if (native.empty()) return false;
  struct stat st;
  return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace zl
