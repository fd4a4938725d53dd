#include "StdinFileSystem.h"

namespace tallowby::cli {

FileStatus StdinFileSystem::status(const std::string& path) {
    if (path == kStdinName) {
        // Read as an ordinary file whatever it is; which file it is counts
        // when standard input comes from one an output would replace.
        const FileStatus real = DescriptorStatus(fd_);
        FileStatus st;
        st.kind = FileKind::Regular;
        st.identified = real.identified;
        st.device = real.device;
        st.inode = real.inode;
        return st;
    }
    return inner_.status(path);
}

std::unique_ptr<ByteSource> StdinFileSystem::openRead(const std::string& path, std::string& error) {
    if (path == kStdinName) {
        return DescriptorSource(fd_);
    }
    return inner_.openRead(path, error);
}

std::unique_ptr<ByteSink> StdinFileSystem::openReplace(const std::string& path,
                                                       std::string& error) {
    return inner_.openReplace(path, error);
}

}  // namespace tallowby::cli
