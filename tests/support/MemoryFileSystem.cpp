#include "MemoryFileSystem.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

namespace tallowby::testing {

namespace {

class MemorySource final : public ByteSource {
public:
    MemorySource(std::shared_ptr<const MemoryFileSystem::File> file, int* open)
        : file_(std::move(file)), open_(open) {
        if (open_)
            ++*open_;
    }
    ~MemorySource() override {
        if (open_)
            --*open_;
    }

    std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
        const MemoryFileSystem::File& f = *file_;
        if (f.failAfter >= 0 && static_cast<std::ptrdiff_t>(pos_) >= f.failAfter) {
            return -1;
        }
        // Whatever the file holds now: a truncation ends the reading here.
        if (pos_ >= f.content.size()) {
            return 0;
        }
        std::size_t n = std::min({capacity, f.maxChunk, f.content.size() - pos_});
        if (f.failAfter >= 0) {
            n = std::min(n, static_cast<std::size_t>(f.failAfter) - pos_);
        }
        std::memcpy(buffer, f.content.data() + pos_, n);
        pos_ += n;
        return static_cast<std::ptrdiff_t>(n);
    }
    std::string error() const override { return "Input/output error"; }

    std::ptrdiff_t take(const char*& at, std::size_t want) override {
        const MemoryFileSystem::File& f = *file_;
        if (!f.inPlace) {
            return kNotInPlace;
        }
        if (!mapped_) {
            mapped_ = std::make_unique<std::string>(f.content);
            released_ = 0;
        }
        if (f.failAfter >= 0 && static_cast<std::ptrdiff_t>(pos_) >= f.failAfter) {
            return -1;
        }
        std::size_t n =
            std::min({want, f.maxChunk, mapped_->size() - std::min(pos_, mapped_->size())});
        if (f.failAfter >= 0) {
            n = std::min(n, static_cast<std::size_t>(f.failAfter) - pos_);
        }
        at = mapped_->data() + pos_;
        pos_ += n;
        return static_cast<std::ptrdiff_t>(n);
    }
    void release(const char* upTo) override {
        const auto until = static_cast<std::size_t>(upTo - mapped_->data());
        for (; released_ < until; ++released_) {
            (*mapped_)[released_] = '\n';  // lines of their own, should anyone read them again
        }
    }
    std::uint64_t skipZeros(std::uint64_t atMost) override {
        const MemoryFileSystem::File& f = *file_;
        for (const auto& [first, second] : f.holes) {
            if (first <= pos_ && pos_ < second && pos_ < f.content.size()) {
                std::size_t n =
                    std::min<std::uint64_t>(atMost, std::min(second, f.content.size()) - pos_);
                if (f.failAfter >= 0) {
                    const auto failAt = static_cast<std::size_t>(f.failAfter);
                    n = failAt > pos_ ? std::min(n, failAt - pos_) : 0;
                }
                pos_ += n;
                return n;
            }
        }
        return 0;
    }
    std::uint64_t cutAt() const override {
        return mapped_ && file_->content.size() < mapped_->size() ? file_->content.size() : kNotCut;
    }

private:
    std::shared_ptr<const MemoryFileSystem::File> file_;  // kept while open, even when removed
    int* open_;  // the file system's count of open sources, if any
    std::size_t pos_ = 0;
    std::unique_ptr<std::string> mapped_;  // the bytes handed out in place
    std::size_t released_ = 0;
};

class MemorySink final : public ByteSink {
public:
    MemorySink(MemoryFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}

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
        if (error_.empty() && fs_.failCommit) {
            error_ = "Input/output error";
        }
        if (!error_.empty()) {
            return false;
        }
        if (fs_.exists(path_)) {
            fs_.rewrite(path_, std::move(data_));
        } else {
            fs_.add(path_, std::move(data_));
        }
        return true;
    }
    std::string error() const override { return error_; }

private:
    MemoryFileSystem& fs_;
    std::string path_;
    std::string data_;
    std::string error_;
};

}  // namespace

std::unique_ptr<ByteSource> StringSource(std::string content, std::size_t maxChunk,
                                         std::ptrdiff_t failAfter) {
    auto file = std::make_shared<MemoryFileSystem::File>();
    file->content = std::move(content);
    file->maxChunk = maxChunk;
    file->failAfter = failAfter;
    return std::make_unique<MemorySource>(std::move(file), nullptr);
}

MemoryFileSystem::File& MemoryFileSystem::add(const std::string& path, std::string content) {
    std::shared_ptr<File>& f = files_[path];
    if (!f) {
        f = std::make_shared<File>();
    }
    *f = File{};
    f->content = std::move(content);
    return *f;
}

void MemoryFileSystem::rewrite(const std::string& path, std::string content) {
    files_.at(path)->content = std::move(content);
}

void MemoryFileSystem::remove(const std::string& path) {
    files_.erase(path);
}

FileStatus MemoryFileSystem::status(const std::string& path) {
    FileStatus st;
    if (auto it = files_.find(path); it != files_.end()) {
        st.kind = FileKind::Regular;
        st.size = it->second->content.size();
    } else if (directories_.count(path)) {
        st.kind = FileKind::Directory;
    } else {
        st.error = "No such file or directory";
    }
    return st;
}

std::unique_ptr<ByteSource> MemoryFileSystem::openRead(const std::string& path,
                                                       std::string& error) {
    auto it = files_.find(path);
    if (it == files_.end()) {
        error = directories_.count(path) ? "Is a directory" : "No such file or directory";
        return nullptr;
    }
    if (it->second->refuseOpen) {
        error = "Permission denied";
        return nullptr;
    }
    ++openCount;
    return std::make_unique<MemorySource>(it->second, &openSources);
}

std::unique_ptr<ByteSink> MemoryFileSystem::openReplace(const std::string& path,
                                                        std::string& error) {
    if (directories_.count(path)) {
        error = "Is a directory";
        return nullptr;
    }
    if (refuseReplace) {
        error = "Permission denied";
        return nullptr;
    }
    return std::make_unique<MemorySink>(*this, path);
}

}  // namespace tallowby::testing
