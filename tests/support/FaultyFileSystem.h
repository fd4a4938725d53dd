#pragma once

// The real file system with the faults a real disk shows injected into it:
// a folder that refuses a new file, a disk that fills up part-way, a rename
// that fails, and a status that no longer tells the truth. Root feels no
// permission bits, so these faults come through the file seam.

#include <cstddef>
#include <memory>
#include <string>

#include "engine/read/FileSystem.h"

namespace tallowby::testing {

class FaultyFileSystem : public FileSystem {
public:
    enum class Fault { None, RefuseOpen, FailWriteAfter, FailCommit };
    Fault fault = Fault::None;
    std::size_t writeLimit = 0;  // for FailWriteAfter: bytes that reach the file first
    std::string reason;          // the system's text the fault reports
    // status() says "regular file" whatever the path is, as when a FIFO
    // replaces a log between the check and the open.
    bool staleStatus = false;

    FileStatus status(const std::string& path) override;
    std::unique_ptr<ByteSource> openRead(const std::string& path, std::string& error) override;
    std::unique_ptr<ByteSink> openReplace(const std::string& path, std::string& error) override;
};

}  // namespace tallowby::testing
