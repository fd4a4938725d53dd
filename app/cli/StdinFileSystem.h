#pragma once

#include "engine/read/FileSystem.h"

namespace tallowby::cli {

// The name under which the command line reads standard input.
inline constexpr const char* kStdinName = "-";

// A file system in which "-" names standard input: an ordinary file that can
// be read once (no counting pass must touch it). Every other path, and every
// write, goes to `inner`.
class StdinFileSystem final : public FileSystem {
public:
    explicit StdinFileSystem(FileSystem& inner, int stdinFd = 0) : inner_(inner), fd_(stdinFd) {}

    FileStatus status(const std::string& path) override;
    std::unique_ptr<ByteSource> openRead(const std::string& path, std::string& error) override;
    std::unique_ptr<ByteSink> openReplace(const std::string& path, std::string& error) override;

private:
    FileSystem& inner_;
    int fd_;
};

}  // namespace tallowby::cli
