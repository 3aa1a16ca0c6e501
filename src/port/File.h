// Reading a whole file, as the parameter file is read.
#ifndef ZL_PORT_FILE_H
#define ZL_PORT_FILE_H

#include <cstddef>
#include <string>

namespace zl {

// Reads the whole regular file at the native path (MapDrivePath) into out. A
// directory, a device, a pipe, a file larger than maxSize or one that cannot
// be opened or read gives false; nothing blocks.
bool ReadRegularFile(const std::string &path, std::string &out, std::size_t maxSize);

}  // namespace zl

#endif  // ZL_PORT_FILE_H
