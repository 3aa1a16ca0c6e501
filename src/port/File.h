// The driver's files: the parameter file read whole, the debug log appended
// to, sample files written whole.
#ifndef ZL_PORT_FILE_H
#define ZL_PORT_FILE_H

#include <cstddef>
#include <string>
#include <string_view>

namespace zl {

// Reads the whole regular file at the native path (MapDrivePath) into out. A
// directory, a device, a pipe, a file larger than maxSize or one that cannot
// be opened or read gives false; nothing blocks.
bool ReadRegularFile(const std::string &path, std::string &out, std::size_t maxSize);

// Appends bytes to the file at the native path, creating it when missing.
// The debug log's name is fixed and known: a symbolic link planted under it
// is not followed (the write fails instead).
bool AppendToFile(const std::string &path, std::string_view bytes);

// Writes bytes as the whole new content of the file at the native path: they
// go to a new file of a name of its own in the same folder, which then takes
// the file's name. A link under that name is replaced, never followed, and a
// failed write leaves no partial file behind.
bool WriteFileAnew(const std::string &path, std::string_view bytes);

}  // namespace zl

#endif  // ZL_PORT_FILE_H
