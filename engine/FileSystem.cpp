#include "FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace tallowby {

namespace {

std::string ErrnoText(int error) { return std::strerror(error); }

class FdSource final : public ByteSource {
public:
    FdSource(int fd, bool owned) : fd_(fd), owned_(owned) {}
    ~FdSource() override {
        if (owned_) {
            ::close(fd_);
        }
    }
    std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
        for (;;) {
            ssize_t n = ::read(fd_, buffer, capacity);
            if (n >= 0) {
                return n;
            }
            if (errno != EINTR) {
                error_ = ErrnoText(errno);
                return -1;
            }
        }
    }
    std::string error() const override { return error_; }

private:
    int fd_;
    bool owned_;
    std::string error_;
};

class ReplaceSink final : public ByteSink {
public:
    ReplaceSink(int fd, std::string temp, std::string target)
        : fd_(fd), temp_(std::move(temp)), target_(std::move(target)) {}
    ~ReplaceSink() override {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!committed_) {
            ::unlink(temp_.c_str());
        }
    }
    bool write(std::string_view bytes) override {
        if (fd_ < 0) {
            return false;
        }
        while (!bytes.empty()) {
            ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                error_ = ErrnoText(errno);
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }
    bool commit() override {
        if (fd_ < 0) {
            return false;
        }
        int fd = fd_;
        fd_ = -1;
        if (::fsync(fd) != 0 && errno != EINVAL) {
            error_ = ErrnoText(errno);
            ::close(fd);
            return false;
        }
        if (::close(fd) != 0) {
            error_ = ErrnoText(errno);
            return false;
        }
        if (::rename(temp_.c_str(), target_.c_str()) != 0) {
            error_ = ErrnoText(errno);
            return false;
        }
        committed_ = true;
        return true;
    }
    std::string error() const override { return error_; }

private:
    int fd_;
    std::string temp_;
    std::string target_;
    std::string error_;
    bool committed_ = false;
};

class Real final : public FileSystem {
public:
    FileStatus status(const std::string& path) override {
        FileStatus result;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            result.error = ErrnoText(errno);
            return result;
        }
        if (S_ISREG(st.st_mode)) {
            result.kind = FileKind::Regular;
            result.size = static_cast<std::uint64_t>(st.st_size);
        } else if (S_ISDIR(st.st_mode)) {
            result.kind = FileKind::Directory;
        } else {
            result.kind = FileKind::Other;
        }
        return result;
    }

    std::unique_ptr<ByteSource> openRead(const std::string& path, std::string& error) override {
        // O_NONBLOCK stays on. Files on a disk ignore it; anything that could
        // wait for data (a FIFO put in the file's place after the status
        // check, a procfs file that waits for events) fails the open or a read
        // with EAGAIN instead of hanging the scan.
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            error = ErrnoText(errno);
            return nullptr;
        }
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        return std::make_unique<FdSource>(fd, true);
    }

    std::unique_ptr<ByteSink> openReplace(const std::string& path, std::string& error) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            error = ErrnoText(EISDIR);
            return nullptr;
        }
        std::random_device random;
        for (int attempt = 0; attempt < 16; ++attempt) {
            std::string temp = path + ".tmp-" + std::to_string(random() % 1000000000u);
            int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd >= 0) {
                return std::make_unique<ReplaceSink>(fd, std::move(temp), path);
            }
            if (errno != EEXIST) {
                error = ErrnoText(errno);
                return nullptr;
            }
        }
        error = ErrnoText(EEXIST);
        return nullptr;
    }
};

}  // namespace

FileSystem& RealFileSystem() {
    static Real real;
    return real;
}

std::unique_ptr<ByteSource> DescriptorSource(int fd) { return std::make_unique<FdSource>(fd, false); }

}  // namespace tallowby
