#pragma once

// What the hostile-input tests share: a temporary folder, file systems that
// change files during a scan or fail where a real disk would, a scan host
// that keeps no per-line record, and a program runner with a deadline.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "RecordingHost.h"
#include "engine/FileSystem.h"

namespace tallowby::testing {

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Writes `content` to `name` and returns its path.
    std::string write(const std::string& name, const std::string& content) const;

private:
    std::filesystem::path path_;
};

std::string ReadWhole(const std::string& path);

// Files held in memory that behave as files on a disk do while they change:
// an open file sees a later truncation (reads end early) or growth (reads
// go on), and a file removed while open stays readable through that handle.
class ChangingFileSystem : public FileSystem {
public:
    void set(const std::string& path, std::string content);
    void remove(const std::string& path) { files_.erase(path); }
    // Read errors after `bytes` bytes of the file, counted from its start.
    void failReadsAfter(const std::string& path, std::size_t bytes);

    FileStatus status(const std::string& path) override;
    std::unique_ptr<ByteSource> openRead(const std::string& path, std::string& error) override;
    std::unique_ptr<ByteSink> openReplace(const std::string& path, std::string& error) override;

    int openSources() const { return *open_; }

    std::size_t maxChunk = 1 << 20;  // the largest piece one read returns

private:
    struct Data {
        std::string content;
        std::ptrdiff_t failAfter = -1;
    };
    std::map<std::string, std::shared_ptr<Data>> files_;
    std::shared_ptr<int> open_ = std::make_shared<int>(0);
};

// The real file system with faults injected into writing, as a full disk, a
// read-only folder or a failing rename would cause them.
class FaultyWrites : public FileSystem {
public:
    enum class Fault { None, RefuseOpen, FailWriteAfter, FailCommit };
    Fault fault = Fault::None;
    std::size_t writeLimit = 0;  // for FailWriteAfter: bytes accepted before the failure
    std::string reason;          // the system's text the fault reports

    FileStatus status(const std::string& path) override;
    std::unique_ptr<ByteSource> openRead(const std::string& path, std::string& error) override;
    std::unique_ptr<ByteSink> openReplace(const std::string& path, std::string& error) override;
};

// A recording host that records no per-line events, so scans of millions
// of lines stay cheap; it keeps the last progress value and maximum.
class QuietHost : public RecordingHost {
public:
    double value = 0;
    double maximum = 0;
    bool valueAboveMaximum = false;
    std::function<void(int)> onYieldNumber;  // called with the yield's number, from 1

    void setProgressValue(const ScanProgress& p) override {
        const double v = p.value;
        value = v;
        // The 0.01 of a new file comes before its maximum, by design.
        valueAboveMaximum = valueAboveMaximum || (v > 0.02 && v > maximum + 1e-9);
    }
    void setProgressMaximum(const ScanProgress& p) override { maximum = p.maximum; }
    void yield() override {
        ++yields;
        if (onYieldNumber)
            onYieldNumber(yields);
    }
    std::vector<std::string> problems() const;
};

struct Finished {
    int exitStatus = -1;  // -1: killed (deadline passed) or no normal exit
    int signal = 0;       // the signal that ended it, if any
    std::string out;
    std::string err;
};

// Runs `program` with `args`, standard input from `stdinPath` (or /dev/null),
// output collected from files. The child is killed by SIGALRM when it runs
// longer than `deadlineSeconds`, so a hang fails the test instead of the run.
Finished RunWithDeadline(const std::string& program, const std::vector<std::string>& args,
                         unsigned deadlineSeconds, const std::string& stdinPath = "/dev/null");

}  // namespace tallowby::testing
