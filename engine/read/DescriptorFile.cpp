// Positional reads of a real file through its descriptor.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "FileSystem.h"

namespace tallowby {

namespace {

class DescriptorFile final : public PositionalFile {
public:
    // Reads end at `limit`: a file is read to the size it had when opened.
    DescriptorFile(int fd, std::uint64_t limit) : fd_(fd), limit_(limit) {}
    ~DescriptorFile() override { ::close(fd_); }
    DescriptorFile(const DescriptorFile&) = delete;
    DescriptorFile& operator=(const DescriptorFile&) = delete;

    std::ptrdiff_t readAt(char* buffer, std::size_t capacity, std::uint64_t offset) override {
        if (offset >= limit_) {
            return 0;
        }
        capacity = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, limit_ - offset));
        for (;;) {
            const ssize_t n = ::pread(fd_, buffer, capacity, static_cast<off_t>(offset));
            if (n >= 0) {
                return n;
            }
            if (errno != EINTR) {
                errno_ = errno;
                return -1;
            }
        }
    }
    std::string error() const override { return std::strerror(errno_ ? errno_ : EIO); }

private:
    int fd_;
    std::uint64_t limit_;
    int errno_ = 0;
};

}  // namespace

std::unique_ptr<PositionalFile> OpenPositionalFile(const std::string& path, std::string& error) {
    // O_NONBLOCK, as for a whole file: a FIFO fails instead of hanging.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<DescriptorFile>(fd, ReadLimitOf(fd));
}

}  // namespace tallowby
