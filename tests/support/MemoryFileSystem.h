#pragma once

// The file system every engine and writer test runs on: files and folders
// held in memory, and the faults a disk shows, injected where a test wants
// them (an open refused, a read error after some bytes, short reads, a file
// that changes or goes while open, a full disk, a failing rename).

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/read/FileSystem.h"

namespace tallowby::testing {

class MemoryFileSystem : public FileSystem {
public:
    struct File {
        std::string content;
        bool refuseOpen = false;         // exists, but opening it fails
        std::ptrdiff_t failAfter = -1;   // reads fail once this many bytes were delivered
        std::size_t maxChunk = 1 << 20;  // the largest piece one read returns
        // Hands its bytes out in place (ByteSource::take), as a mapped file
        // does: from the content as it was at the first take. Released bytes
        // are overwritten, so a reader that goes back to them reads garbage;
        // content rewritten shorter is reported cut short there.
        bool inPlace = false;
        // Stretches [first, second) of zeros the source passes over unread
        // (ByteSource::skipZeros), as a sparse file's holes.
        std::vector<std::pair<std::size_t, std::size_t>> holes;
    };

    // Makes `path` a file holding `content`, without faults. A file already
    // there is replaced in place, so sources open on it see the new content.
    File& add(const std::string& path, std::string content);
    // Gives an existing file new content and keeps its faults, as a program
    // writing to it would: an open source reads on from where it stands, so a
    // truncation ends its reading early and growth is read.
    void rewrite(const std::string& path, std::string content);
    // Removes the name; a source open on it reads on, as through a handle.
    void remove(const std::string& path);
    void addDirectory(const std::string& path) { directories_.insert(path); }

    // The file at `path`, which must exist.
    File& file(const std::string& path) { return *files_.at(path); }
    bool exists(const std::string& path) const { return files_.count(path) != 0; }
    std::size_t fileCount() const { return files_.size(); }

    FileStatus status(const std::string& path) override;
    std::unique_ptr<ByteSource> openRead(const std::string& path, std::string& error) override;
    // Writes land in the file only at commit(); a failed sink leaves it as it was.
    std::unique_ptr<ByteSink> openReplace(const std::string& path, std::string& error) override;

    int openCount = 0;    // reads opened so far
    int openSources = 0;  // sources not yet destroyed

    // Faults of writing.
    bool refuseReplace = false;           // openReplace fails: "Permission denied"
    std::ptrdiff_t failWritesAfter = -1;  // a write taking a sink past this many bytes
                                          // fails whole: "No space left on device"
    bool failCommit = false;              // commit fails: "Input/output error"

private:
    std::map<std::string, std::shared_ptr<File>> files_;
    std::set<std::string> directories_;
};

// A source over `content` alone, as a file of the above with these faults
// would give it: pieces of at most `maxChunk` bytes, and read errors once
// `failAfter` bytes were delivered (never when -1).
std::unique_ptr<ByteSource> StringSource(std::string content, std::size_t maxChunk = 1 << 20,
                                         std::ptrdiff_t failAfter = -1);

}  // namespace tallowby::testing
