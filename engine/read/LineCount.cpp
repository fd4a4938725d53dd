#include "LineCount.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <future>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include "Compression.h"
#include "LineEnds.h"
#include "LineReader.h"

namespace tallowby {

namespace {

// The line ends of a file from `from` on, read at offsets: every LF that
// does not close a CR LF pair (the byte before `from` counts for that),
// every CR; and whether bytes follow the last end.
struct CountedPart {
    std::int64_t ends = 0;
    bool open = false;
    bool any = false;     // bytes were read from `from` on
    bool failed = false;  // no memory, or no bytes in place: nothing was counted

    // `fromStart`: the count starts at the file's first byte. Otherwise the
    // first byte of the first block is the one before `from`, there only
    // for a CR LF pair across.
    explicit CountedPart(bool fromStart = false) : started_(fromStart) {}

    // Counts the next block read.
    void add(const char* data, const char* end) {
        if (!started_) {
            started_ = true;
            previousCr_ = *data++ == kCr;
            if (data == end) {
                return;
            }
        }
        ends += CountLineEnds(data, end, previousCr_);
        previousCr_ = end[-1] == kCr;
        open = end[-1] != kCr && end[-1] != kLf;
        any = true;
    }
    // `n` zeros passed over unread (a hole of a sparse file): no line ends.
    void addZeros(std::uint64_t n) {
        if (n > 0) {
            previousCr_ = false;
            open = true;
            any = true;
        }
    }

private:
    bool started_ = false;
    bool previousCr_ = false;
};

CountedPart CountFrom(PositionalFile& file, std::uint64_t from, std::size_t blockSize) {
    CountedPart part;
    std::unique_ptr<char[]> space(new (std::nothrow) char[blockSize + kReadSlack]);
    if (!space) {
        part.failed = true;
        return part;
    }
    // The byte before `from` is read first, only for a CR LF pair across.
    std::uint64_t at = from - 1;
    for (;;) {
        char* const block = ReadPlace(space.get(), at);
        const std::ptrdiff_t n = file.readAt(block, blockSize, at);
        if (n <= 0) {
            return part;  // the end, or a read error: what was counted
        }
        at += static_cast<std::uint64_t>(n);
        part.add(block, block + n);
    }
}

// The same from a source that hands its bytes out in place (a mapped
// file), opened afresh: the bytes before `from` are passed over untouched.
// Fails (nothing counted) where the source only copies.
CountedPart CountTakenFrom(ByteSource& source, std::uint64_t from, std::size_t blockSize) {
    CountedPart part;
    const char* at = nullptr;
    for (std::uint64_t skipped = 0; skipped + 1 < from;) {
        const std::uint64_t left = from - 1 - skipped;
        const std::ptrdiff_t n =
            source.take(at, static_cast<std::size_t>(std::min<std::uint64_t>(left, PTRDIFF_MAX)));
        if (n <= 0) {
            part.failed = n == ByteSource::kNotInPlace;
            return part;
        }
        skipped += static_cast<std::uint64_t>(n);
    }
    for (bool first = true;; first = false) {
        if (!first) {
            part.addZeros(source.skipZeros(UINT64_MAX));
        }
        const std::ptrdiff_t n = source.take(at, blockSize);
        if (n <= 0) {
            part.failed = n == ByteSource::kNotInPlace;
            return part;  // the end, or a read error: what was counted
        }
        part.add(at, at + n);
        source.release(at + n);
    }
}

// Counts the file's lines; with `sniff`, a file whose first block starts
// with a compression magic number is measured by its size instead.
ProgressMeasure Measure(const std::string& path, FileSystem& fs,
                        const std::function<void()>& afterBlock, bool sniff,
                        std::uint64_t splitFrom) {
    // Only ordinary files are read: a FIFO or a device could block or never end.
    const FileStatus st = fs.status(path);
    if (st.kind != FileKind::Regular) {
        return {};
    }
    std::string error;
    std::unique_ptr<ByteSource> source = fs.openRead(path, error);
    if (!source) {
        return {};
    }
    // Counts line ends without splitting lines: every LF that does not close
    // a CR LF pair, every CR, and a last line without a terminator.
    // A block the size of the file, up to a megabyte, left uninitialised: a
    // small file costs no megabyte. A file that grows, or reports no size
    // (procfs), just takes more reads. A file whose bytes can be taken in
    // place (mapped) is counted there, in blocks of the same size.
    const std::size_t blockSize = LineReader::BlockFor(st.size);
    const std::unique_ptr<char[]> space(new char[blockSize + kReadSlack]);
    bool inPlace = true;
    CountedPart counted(true);
    // A big file's second half, counted on another thread from `half` on
    // while this thread reads up to it.
    std::future<CountedPart> second;
    std::uint64_t half = 0;
    std::uint64_t read = 0;
    for (bool first = true;; first = false) {
        if (!first) {
            // A hole holds no line ends: passed over (up to the second half).
            const std::uint64_t skipped =
                source->skipZeros(second.valid() ? half - read : UINT64_MAX);
            read += skipped;
            counted.addZeros(skipped);
        }
        std::size_t want = blockSize;
        if (second.valid() && half - read < want) {
            want = static_cast<std::size_t>(half - read);
        }
        const char* block = nullptr;
        std::ptrdiff_t n = 0;
        if (want > 0) {
            n = inPlace ? source->take(block, want) : ByteSource::kNotInPlace;
            if (n == ByteSource::kNotInPlace) {
                inPlace = false;
                char* const into = ReadPlace(space.get(), read);
                block = into;
                n = source->read(into, want);
            }
        }
        if (n < 0) {
            break;  // a read error: the lines counted so far, of the first half
        }
        if (n == 0) {
            // The end of the file, or of this thread's half.
            if (second.valid()) {
                const CountedPart rest = second.get();
                if (rest.failed) {
                    continue;  // this thread reads the rest itself
                }
                counted.ends += rest.ends;
                counted.open = rest.any ? rest.open : counted.open;
            }
            break;
        }
        if (first && sniff &&
            SniffCompression(std::string_view(block, static_cast<std::size_t>(n))) !=
                Compression::None) {
            return {static_cast<std::int64_t>(st.size), true};
        }
        read += static_cast<std::uint64_t>(n);
        if (first && st.size >= splitFrom && std::thread::hardware_concurrency() > 1) {
            std::string unused;
            half = std::max<std::uint64_t>(st.size / 2, read + 1);
            // The second half where it lies when the first is, else read
            // at offsets.
            std::shared_ptr<ByteSource> again =
                inPlace ? std::shared_ptr<ByteSource>(fs.openRead(path, unused)) : nullptr;
            std::shared_ptr<PositionalFile> file =
                again ? nullptr : std::shared_ptr<PositionalFile>(fs.openPositional(path, unused));
            try {
                if (again) {
                    second = std::async(std::launch::async, [again, half, blockSize] {
                        return CountTakenFrom(*again, half, blockSize);
                    });
                } else if (file) {
                    second = std::async(std::launch::async, [file, half, blockSize] {
                        return CountFrom(*file, half, blockSize);
                    });
                }
            } catch (const std::system_error&) {
                // No thread to be had: this thread counts all of it.
            }
        }
        counted.add(block, block + n);
        if (inPlace) {
            source->release(block + n);
        }
        if (afterBlock) {
            afterBlock();
        }
    }
    return {counted.ends + (counted.open ? 1 : 0), false};
}

}  // namespace

std::int64_t CountFileLines(const std::string& path, FileSystem& fs) {
    return CountFileLines(path, fs, {});
}

std::int64_t CountFileLines(const std::string& path, FileSystem& fs,
                            const std::function<void()>& afterBlock) {
    return Measure(path, fs, afterBlock, false, kCountSplitFrom).units;
}

ProgressMeasure MeasureForProgress(const std::string& path, FileSystem& fs,
                                   const std::function<void()>& afterBlock,
                                   std::uint64_t splitFrom) {
    return Measure(path, fs, afterBlock, true, splitFrom);
}

}  // namespace tallowby
