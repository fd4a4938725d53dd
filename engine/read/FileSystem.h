#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tallowby {

// What a path names, as far as the scan cares.
enum class FileKind { Missing, Regular, Directory, Other };

struct FileStatus {
    FileKind kind = FileKind::Missing;
    std::uint64_t size = 0;  // bytes, for regular files
    std::string error;       // the system's text when kind is Missing because of an error
    // Which file it is (device and inode), where the file system can tell:
    // two names of one file (another spelling, a symbolic or a hard link)
    // have the same. `identified` is false where it cannot.
    bool identified = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// A stream of bytes opened for reading. Closed when destroyed.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to `capacity` bytes into `buffer`. Returns the number read,
    // 0 at the end of the input, or -1 on an error (then error() says why).
    virtual std::ptrdiff_t read(char* buffer, std::size_t capacity) = 0;
    virtual std::string error() const = 0;

    // Where the source can hand out its bytes where they lie (a plain file
    // on a disk, mapped into memory), without a copy: points `at` to the
    // next bytes, up to `want` of them, and returns their number as read()
    // does (0 at the end, -1 on an error). The memory just before `at`
    // holds the bytes handed out before, by read() too, back to the
    // source's first byte; all of it stays readable until release() passes
    // it or the source is destroyed. kNotInPlace, having taken nothing,
    // where the source only copies (the default): read() then.
    static constexpr std::ptrdiff_t kNotInPlace = -2;
    virtual std::ptrdiff_t take(const char*& /*at*/, std::size_t /*want*/) { return kNotInPlace; }
    // The bytes before `upTo`, of those take() handed out, are no longer
    // needed: their memory may go back to the system.
    virtual void release(const char* /*upTo*/) {}
    // Where the input now ends, once bytes take() handed out were found
    // missing (the file was cut short while it was read; those bytes read
    // as zeros); kNotCut until then.
    static constexpr std::uint64_t kNotCut = ~std::uint64_t{0};
    virtual std::uint64_t cutAt() const { return kNotCut; }
    // Where the source knows, without reading them, that its next bytes are
    // zeros (a hole in a sparse file): passes over up to `atMost` of them as
    // a read would and returns how many. 0 where it knows of none (the
    // default), having passed nothing.
    virtual std::uint64_t skipZeros(std::uint64_t /*atMost*/) { return 0; }
};

// Where to put the bytes of a read from stream position `position`: the
// first address at or after `at` whose place within a cache line is that of
// the position. The kernel copies from its page cache several times faster
// (four times on some x86-64 processors) when the two places agree than
// when the target runs a few bytes ahead, so every reader of big files
// leaves room for kReadSlack bytes before its target and reads there.
inline constexpr std::size_t kReadSlack = 63;
inline char* ReadPlace(char* at, std::uint64_t position) {
    return at + ((position - reinterpret_cast<std::uintptr_t>(at)) % (kReadSlack + 1));
}

// A file read at given offsets, so one piece of a big file can be read
// without reading what comes before it.
class PositionalFile {
public:
    virtual ~PositionalFile() = default;
    // Reads up to `capacity` bytes from `offset`. Returns the number read, 0
    // at or beyond the end of the file, or -1 on an error (error() says why).
    virtual std::ptrdiff_t readAt(char* buffer, std::size_t capacity, std::uint64_t offset) = 0;
    virtual std::string error() const = 0;
};

// A file being written. Nothing reaches the target path until commit().
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Appends bytes. Returns false on an error (then error() says why).
    virtual bool write(std::string_view bytes) = 0;
    // Flushes, closes and renames the temporary file over the target.
    virtual bool commit() = 0;
    virtual std::string error() const = 0;
};

// The one seam through which the engine and the writers reach files, so that
// tests can inject errors and short reads. Paths use "/".
class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual FileStatus status(const std::string& path) = 0;
    // Returns null on failure and puts the system's text into `error`.
    virtual std::unique_ptr<ByteSource> openRead(const std::string& path, std::string& error) = 0;
    // The file for reads at given offsets, where this file system offers
    // them; null (and nothing in `error`) where it does not: the file is
    // then read in order through openRead().
    virtual std::unique_ptr<PositionalFile> openPositional(const std::string& /*path*/,
                                                           std::string& /*error*/) {
        return nullptr;
    }
    // Opens a temporary file beside `path` (beside what a symbolic link at
    // `path` names) that commit() renames over it, keeping the mode and, where
    // allowed, the owner of the file it replaces. A device or FIFO is written
    // straight through instead; a directory is refused.
    // Returns null on failure and puts the system's text into `error`. A sink
    // destroyed without commit() removes its temporary file.
    virtual std::unique_ptr<ByteSink> openReplace(const std::string& path, std::string& error) = 0;
};

// Of `inputs` in `fs`, the index of the first that names the regular file
// whose status is `target` (by device and inode, so any spelling and any
// link of it), which writing the target would replace; -1 when none does,
// when the target is no regular file, or when the file system cannot tell
// files apart.
std::ptrdiff_t FindSameFile(const FileStatus& target, FileSystem& fs,
                            const std::vector<std::string>& inputs);
// The same for the path `target` in `fs`.
inline std::ptrdiff_t FindSameFile(FileSystem& fs, const std::string& target,
                                   const std::vector<std::string>& inputs) {
    return FindSameFile(fs.status(target), fs, inputs);
}

// The real file system. Shared and stateless.
FileSystem& RealFileSystem();

// A source over a file descriptor that stays open (standard input).
std::unique_ptr<ByteSource> DescriptorSource(int fd);
// The status of the file open as `fd`, as FileSystem::status() gives it.
FileStatus DescriptorStatus(int fd);

// How far a scan reads the file open as `fd`: its size now for a file on a
// disk (a log that keeps growing still comes to an end); everything for
// anything else and for the kernel's pseudo-files.
std::uint64_t ReadLimitOf(int fd);

// Opens `path` of the real file system for positional reads; null on failure
// with the system's text in `error`.
std::unique_ptr<PositionalFile> OpenPositionalFile(const std::string& path, std::string& error);

}  // namespace tallowby
