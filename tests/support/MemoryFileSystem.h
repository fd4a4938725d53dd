#pragma once

// An in-memory file system for tests: files, directories, and injected
// faults (open refused, read error after some bytes, short reads).

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "engine/FileSystem.h"

namespace tallowby::testing {

class MemoryFileSystem : public FileSystem {
public:
    struct File {
        std::string content;
        bool refuseOpen = false;            // exists, but open fails
        std::ptrdiff_t failAfter = -1;      // read fails once this many bytes were delivered
        std::size_t maxChunk = 1 << 20;     // largest piece one read() returns
    };

    File& add(const std::string& path, std::string content) {
        File& f = files[path];
        f = File{};
        f.content = std::move(content);
        return f;
    }
    void addDirectory(const std::string& path) { directories.insert(path); }

    FileStatus status(const std::string& path) override {
        FileStatus st;
        if (auto it = files.find(path); it != files.end()) {
            st.kind = FileKind::Regular;
            st.size = it->second.content.size();
        } else if (directories.count(path)) {
            st.kind = FileKind::Directory;
        } else {
            st.error = "No such file or directory";
        }
        return st;
    }

    std::unique_ptr<ByteSource> openRead(const std::string& path, std::string& error) override {
        auto it = files.find(path);
        if (it == files.end()) {
            error = directories.count(path) ? "Is a directory" : "No such file or directory";
            return nullptr;
        }
        if (it->second.refuseOpen) {
            error = "Permission denied";
            return nullptr;
        }
        ++openCount;
        return std::make_unique<Source>(it->second, openSources);
    }

    std::unique_ptr<ByteSink> openReplace(const std::string& path, std::string& error) override {
        if (directories.count(path)) {
            error = "Is a directory";
            return nullptr;
        }
        return std::make_unique<Sink>(*this, path);
    }

    std::map<std::string, File> files;
    std::set<std::string> directories;
    int openCount = 0;
    int openSources = 0;  // sources not yet destroyed
    std::ptrdiff_t failWritesAfter = -1;  // sinks fail once this many bytes were written

private:
    class Source : public ByteSource {
    public:
        Source(const File& f, int& open) : file_(f), open_(open) { ++open_; }
        ~Source() override { --open_; }
        std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
            if (file_.failAfter >= 0 && static_cast<std::ptrdiff_t>(pos_) >= file_.failAfter) {
                return -1;
            }
            std::size_t n = std::min({capacity, file_.maxChunk, file_.content.size() - pos_});
            if (file_.failAfter >= 0) {
                n = std::min(n, static_cast<std::size_t>(file_.failAfter) - pos_);
            }
            std::memcpy(buffer, file_.content.data() + pos_, n);
            pos_ += n;
            return static_cast<std::ptrdiff_t>(n);
        }
        std::string error() const override { return "Input/output error"; }

    private:
        const File& file_;
        int& open_;
        std::size_t pos_ = 0;
    };

    class Sink : public ByteSink {
    public:
        Sink(MemoryFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
        bool write(std::string_view bytes) override {
            if (fs_.failWritesAfter >= 0 &&
                static_cast<std::ptrdiff_t>(data_.size() + bytes.size()) > fs_.failWritesAfter) {
                error_ = "No space left on device";
                return false;
            }
            data_.append(bytes);
            return true;
        }
        bool commit() override {
            if (!error_.empty()) {
                return false;
            }
            fs_.add(path_, data_);
            return true;
        }
        std::string error() const override { return error_; }

    private:
        MemoryFileSystem& fs_;
        std::string path_;
        std::string data_;
        std::string error_;
    };
};

}  // namespace tallowby::testing
