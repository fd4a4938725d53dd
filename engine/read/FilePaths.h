#pragma once

// The paths of log files: joined, cut to their names, and whether one names
// a file the scan reads.

#include <string>
#include <string_view>

#include "FileSystem.h"

namespace tallowby {

// True when `path` names an existing ordinary file: a regular file (not a
// directory, FIFO or device) whose name does not begin with "." (hidden).
// False on any error.
bool FileExists(const std::string& path, FileSystem& fs = RealFileSystem());

// The part of `path` after its last "/"; the whole path when it has none;
// empty when it ends with "/".
std::string FileNamePart(std::string_view path);

// `directory`, "/" and `name`; no doubled "/" after a directory that ends
// with one; `name` alone when the directory is empty.
std::string JoinPath(std::string_view directory, std::string_view name);

}  // namespace tallowby
