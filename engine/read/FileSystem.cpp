#include "FileSystem.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <random>

#include "MappedFile.h"

namespace tallowby {

namespace {

std::string ErrnoText(int error) {
    return std::strerror(error);
}

// No limit on the bytes a source reads.
constexpr std::uint64_t kUnlimited = ~std::uint64_t{0};

class FdSource final : public ByteSource {
public:
    // At most `limit` bytes are read: a file is read to the size it had when
    // it was opened, so a log its writer keeps extending faster than the
    // scan reads it still comes to an end.
    FdSource(int fd, bool owned, std::uint64_t limit = kUnlimited)
        : fd_(fd), owned_(owned), left_(limit), limit_(limit) {}
    ~FdSource() override {
        mapped_.reset();
        if (owned_) {
            ::close(fd_);
        }
    }
    // A file opened here (at its start) of a block or more is mapped at the
    // first take(); the bytes read before lie at the mapping's start.
    std::ptrdiff_t take(const char*& at, std::size_t want) override {
        if (!mapTried_) {
            mapTried_ = true;
            if (owned_ && limit_ != kUnlimited && limit_ >= kMapAtLeast) {
                mapped_ = MappedFile::Map(fd_, limit_);
            }
        }
        if (!mapped_) {
            return kNotInPlace;
        }
        const std::size_t n = left_ < want ? static_cast<std::size_t>(left_) : want;
        at = mapped_->data() + (limit_ - left_);
        left_ -= n;
        return static_cast<std::ptrdiff_t>(n);
    }
    void release(const char* upTo) override {
        if (mapped_) {
            mapped_->release(upTo);
        }
    }
    std::uint64_t cutAt() const override {
        const std::size_t zeros = mapped_ ? mapped_->zerosFrom() : MappedFile::kWhole;
        if (zeros == MappedFile::kWhole) {
            return kNotCut;
        }
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || st.st_size < 0) {
            return 0;
        }
        return std::min(static_cast<std::uint64_t>(st.st_size), std::uint64_t{zeros});
    }
    std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
        if (mapped_) {
            const char* at = nullptr;
            const std::ptrdiff_t n = take(at, capacity);
            std::memcpy(buffer, at, static_cast<std::size_t>(n));
            return n;
        }
        if (left_ < capacity) {
            capacity = static_cast<std::size_t>(left_);
        }
        if (capacity == 0) {
            return 0;
        }
        for (;;) {
            ssize_t n = ::read(fd_, buffer, capacity);
            if (n >= 0) {
                if (left_ != kUnlimited) {
                    left_ -= static_cast<std::uint64_t>(n);
                }
                return n;
            }
            if (errno != EINTR) {
                error_ = ErrnoText(errno);
                return -1;
            }
        }
    }
    std::string error() const override { return error_; }
    // The file system's own record of the file's holes (SEEK_DATA), so a
    // hole is passed over without its zeros being made and read.
    std::uint64_t skipZeros(std::uint64_t atMost) override {
        if (!holesKnown() || left_ == 0 || atMost == 0) {
            return 0;
        }
        const off_t at = mapped_ ? static_cast<off_t>(limit_ - left_) : ::lseek(fd_, 0, SEEK_CUR);
        if (at < 0) {
            return 0;
        }
        std::uint64_t hole = 0;
        const off_t data = ::lseek(fd_, at, SEEK_DATA);
        if (data >= 0) {
            hole = static_cast<std::uint64_t>(data - at);
        } else if (errno == ENXIO) {
            // A hole up to the end of the file. Past its end nothing is
            // passed over: a mapped file cut short is told by its reads.
            struct stat st {};
            hole = ::fstat(fd_, &st) == 0 && st.st_size > at
                       ? static_cast<std::uint64_t>(st.st_size - at)
                       : 0;
        } else {
            holes_ = Holes::None;  // the file system cannot tell: never asked again
        }
        hole = std::min({hole, atMost, left_});
        // SEEK_DATA moved the offset of a file read by read(): it goes where the hole ends.
        if (!mapped_ && ::lseek(fd_, at + static_cast<off_t>(hole), SEEK_SET) < 0) {
            return 0;
        }
        if (left_ != kUnlimited) {
            left_ -= hole;
        }
        return hole;
    }

private:
    // Only a regular file has holes to ask about (a pipe or a device has none).
    bool holesKnown() {
        if (holes_ == Holes::Unknown) {
            struct stat st {};
            holes_ = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) ? Holes::Asked : Holes::None;
        }
        return holes_ == Holes::Asked;
    }
    enum class Holes { Unknown, Asked, None } holes_ = Holes::Unknown;

    // Smaller files are copied: there mapping saves next to nothing.
    static constexpr std::uint64_t kMapAtLeast = 1u << 20;

    int fd_;
    bool owned_;
    std::uint64_t left_;
    const std::uint64_t limit_;
    bool mapTried_ = false;
    std::unique_ptr<MappedFile> mapped_;
    std::string error_;
};

// A write that never raises SIGPIPE: a FIFO whose reader went away gives
// EPIPE, reported like any write error, instead of ending the program.
ssize_t WriteWithoutSigpipe(int fd, const char* data, std::size_t size) {
    sigset_t pipeOnly;
    sigset_t old;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &old);
    sigset_t pending;
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    const ssize_t n = ::write(fd, data, size);
    const int saved = errno;
    if (n < 0 && saved == EPIPE && !wasPending) {
        const timespec zero{};
        sigtimedwait(&pipeOnly, nullptr, &zero);  // take back the signal this write raised
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = saved;
    return n;
}

// Bytes bound for `target`. Over a regular file (or where nothing is yet) they
// go to a temporary file beside it that commit() renames over it; into a
// device or FIFO (an empty `temp`) they go straight, and commit() closes.
class ReplaceSink final : public ByteSink {
public:
    ReplaceSink(int fd, std::string temp, std::string target)
        : fd_(fd), temp_(std::move(temp)), target_(std::move(target)) {}
    ~ReplaceSink() override {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!committed_ && !temp_.empty()) {
            ::unlink(temp_.c_str());
        }
    }
    bool write(std::string_view bytes) override {
        if (fd_ < 0) {
            return false;
        }
        while (!bytes.empty()) {
            ssize_t n = temp_.empty() ? WriteWithoutSigpipe(fd_, bytes.data(), bytes.size())
                                      : ::write(fd_, bytes.data(), bytes.size());
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
        if (temp_.empty()) {
            if (::close(fd) != 0) {
                error_ = ErrnoText(errno);
                return false;
            }
            committed_ = true;
            return true;
        }
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

// Follows symbolic links from `path` to what they finally name (which need
// not exist yet). False with the system's text in `error` on a loop.
bool FollowLinks(std::string& path, std::string& error) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return true;
        }
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0) {
            error = ErrnoText(errno);
            return false;
        }
        if (static_cast<std::size_t>(n) >= link.size()) {
            continue;  // the link changed under us: read it again
        }
        link.resize(static_cast<std::size_t>(n));
        if (!link.empty() && link[0] == '/') {
            path = link;
        } else {
            const std::size_t slash = path.rfind('/');
            path = slash == std::string::npos ? link : path.substr(0, slash + 1) + link;
        }
    }
    error = ErrnoText(ELOOP);
    return false;
}

// A sink straight into a device or FIFO. A FIFO nobody reads fails at once
// instead of waiting for a reader.
std::unique_ptr<ByteSink> OpenDirect(const std::string& target, std::string& error) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = errno == ENXIO ? "Nothing reads from it" : ErrnoText(errno);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return std::make_unique<ReplaceSink>(fd, std::string(), target);
}

// How much of an opened file a scan reads: its size at the open for a file on
// a disk; everything for anything else, and for the kernel's pseudo-files,
// which say "0 bytes" and yet have text.
std::uint64_t ReadLimit(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return kUnlimited;
    }
    if (st.st_size == 0) {
        struct statfs fsInfo {};
        if (::fstatfs(fd, &fsInfo) != 0 || fsInfo.f_type == PROC_SUPER_MAGIC ||
            fsInfo.f_type == SYSFS_MAGIC || fsInfo.f_type == DEBUGFS_MAGIC) {
            return kUnlimited;
        }
    }
    return static_cast<std::uint64_t>(st.st_size);
}

FileStatus StatusOf(const struct stat& st) {
    FileStatus result;
    if (S_ISREG(st.st_mode)) {
        result.kind = FileKind::Regular;
        result.size = static_cast<std::uint64_t>(st.st_size);
    } else if (S_ISDIR(st.st_mode)) {
        result.kind = FileKind::Directory;
    } else {
        result.kind = FileKind::Other;
    }
    result.identified = true;
    result.device = static_cast<std::uint64_t>(st.st_dev);
    result.inode = static_cast<std::uint64_t>(st.st_ino);
    return result;
}

class Real final : public FileSystem {
public:
    FileStatus status(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            FileStatus result;
            result.error = ErrnoText(errno);
            return result;
        }
        return StatusOf(st);
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
        return std::make_unique<FdSource>(fd, true, ReadLimit(fd));
    }

    std::unique_ptr<PositionalFile> openPositional(const std::string& path,
                                                   std::string& error) override {
        return OpenPositionalFile(path, error);
    }

    std::unique_ptr<ByteSink> openReplace(const std::string& path, std::string& error) override {
        // The temporary file goes beside what a symbolic link names, so the
        // rename replaces that file and the link stays a link.
        std::string target = path;
        if (!FollowLinks(target, error)) {
            return nullptr;
        }
        struct stat st {};
        const bool exists = ::stat(target.c_str(), &st) == 0;
        if (!exists && errno != ENOENT) {
            error = ErrnoText(errno);
            return nullptr;
        }
        if (exists && S_ISDIR(st.st_mode)) {
            error = ErrnoText(EISDIR);
            return nullptr;
        }
        if (exists && !S_ISREG(st.st_mode)) {
            return OpenDirect(target, error);
        }
        std::random_device random;
        for (int attempt = 0; attempt < 16; ++attempt) {
            std::string temp = target + ".tmp-" + std::to_string(random() % 1000000000u);
            int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd >= 0) {
                if (exists) {
                    // The file that is replaced keeps its owner where the
                    // system lets us give it (its group at least), then its
                    // mode: a change of owner clears set-id bits.
                    // Neither is a failure of the write: the file is still
                    // the user's own, with the mode new files get.
                    if (::fchown(fd, st.st_uid, st.st_gid) != 0 &&
                        ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
                    }
                    if (::fchmod(fd, st.st_mode & 07777) != 0) {
                    }
                }
                return std::make_unique<ReplaceSink>(fd, std::move(temp), target);
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

std::unique_ptr<ByteSource> DescriptorSource(int fd) {
    return std::make_unique<FdSource>(fd, false);
}

FileStatus DescriptorStatus(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        FileStatus result;
        result.error = ErrnoText(errno);
        return result;
    }
    return StatusOf(st);
}

std::ptrdiff_t FindSameFile(const FileStatus& out, FileSystem& fs,
                            const std::vector<std::string>& inputs) {
    // Only a regular file is replaced by a write; a device or FIFO is
    // written through and loses nothing.
    if (out.kind != FileKind::Regular || !out.identified) {
        return -1;
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const FileStatus in = fs.status(inputs[i]);
        if (in.identified && in.device == out.device && in.inode == out.inode) {
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return -1;
}

std::uint64_t ReadLimitOf(int fd) {
    return ReadLimit(fd);
}

}  // namespace tallowby
