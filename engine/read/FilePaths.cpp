#include "FilePaths.h"

namespace tallowby {

bool FileExists(const std::string& path, FileSystem& fs) {
    std::string name = FileNamePart(path);
    if (name.empty() || name[0] == '.') {
        return false;
    }
    return fs.status(path).kind == FileKind::Regular;
}

std::string FileNamePart(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string JoinPath(std::string_view directory, std::string_view name) {
    if (directory.empty()) {
        return std::string(name);
    }
    std::string path(directory);
    if (path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

}  // namespace tallowby
