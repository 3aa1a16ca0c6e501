// Windows paths on Linux.
//
// A path "C:\dir\FILE" names $ZLNETDRV_DRIVE_C/dir/FILE; when the variable is
// not set, drive C: is the user's state folder ($XDG_STATE_HOME/zlnetdrv, else
// ~/.local/state/zlnetdrv, made when missing), where the debug log
// "C:\ZLNETDRV.LOG" and the sample files go by default. Another drive letter X uses
// $ZLNETDRV_DRIVE_X and names nothing when that is not set. A path that starts
// with a backslash starts at the root of drive C:, one that starts with "/" is
// a native path; any other path is relative to the current directory. Backslashes and slashes both
// separate components.
//
// Windows file names are case-insensitive and the parameter file's reader
// upper-cases texts, so each component that exists is found regardless of
// ASCII case (an exact match first); a component that does not exist yet keeps
// its name as given.
#ifndef ZL_PORT_DRIVEPATH_H
#define ZL_PORT_DRIVEPATH_H

#include <string>
#include <string_view>

namespace zl {

// The native path, or an empty text when the path names a drive that is not mapped.
std::string MapDrivePath(std::string_view path);

// True when the path names an existing directory.
bool DirectoryExists(std::string_view path);

}  // namespace zl

#endif  // ZL_PORT_DRIVEPATH_H
