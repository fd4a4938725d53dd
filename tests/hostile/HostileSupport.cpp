#include "HostileSupport.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

namespace tallowby::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "tallowby-hostile-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
    const std::string path = file(name);
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return path;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// --- ChangingFileSystem

namespace {

class SharedSource final : public ByteSource {
public:
    SharedSource(std::shared_ptr<const void> keep, const std::string& content,
                 const std::ptrdiff_t& failAfter, std::size_t maxChunk, std::shared_ptr<int> open)
        : keep_(std::move(keep)),
          content_(content),
          failAfter_(failAfter),
          maxChunk_(maxChunk),
          open_(std::move(open)) {
        ++*open_;
    }
    ~SharedSource() override { --*open_; }
    std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
        if (failAfter_ >= 0 && static_cast<std::ptrdiff_t>(pos_) >= failAfter_) {
            return -1;
        }
        // Whatever the file holds now: a truncation ends the reading early.
        if (pos_ >= content_.size()) {
            return 0;
        }
        std::size_t n = std::min({capacity, maxChunk_, content_.size() - pos_});
        if (failAfter_ >= 0) {
            n = std::min(n, static_cast<std::size_t>(failAfter_) - pos_);
        }
        std::memcpy(buffer, content_.data() + pos_, n);
        pos_ += n;
        return static_cast<std::ptrdiff_t>(n);
    }
    std::string error() const override { return "Input/output error"; }

private:
    std::shared_ptr<const void> keep_;  // the file stays while open, even when removed
    const std::string& content_;
    const std::ptrdiff_t& failAfter_;
    std::size_t maxChunk_;
    std::shared_ptr<int> open_;
    std::size_t pos_ = 0;
};

class StringSink final : public ByteSink {
public:
    explicit StringSink(std::function<void(std::string)> done) : done_(std::move(done)) {}
    bool write(std::string_view bytes) override {
        data_.append(bytes);
        return true;
    }
    bool commit() override {
        done_(std::move(data_));
        return true;
    }
    std::string error() const override { return {}; }

private:
    std::function<void(std::string)> done_;
    std::string data_;
};

}  // namespace

void ChangingFileSystem::set(const std::string& path, std::string content) {
    auto& data = files_[path];
    if (!data) {
        data = std::make_shared<Data>();
    }
    data->content = std::move(content);  // in place: open sources see the change
}

void ChangingFileSystem::failReadsAfter(const std::string& path, std::size_t bytes) {
    files_.at(path)->failAfter = static_cast<std::ptrdiff_t>(bytes);
}

FileStatus ChangingFileSystem::status(const std::string& path) {
    FileStatus st;
    if (auto it = files_.find(path); it != files_.end()) {
        st.kind = FileKind::Regular;
        st.size = it->second->content.size();
    } else {
        st.error = "No such file or directory";
    }
    return st;
}

std::unique_ptr<ByteSource> ChangingFileSystem::openRead(const std::string& path,
                                                         std::string& error) {
    auto it = files_.find(path);
    if (it == files_.end()) {
        error = "No such file or directory";
        return nullptr;
    }
    const std::shared_ptr<Data>& data = it->second;
    return std::make_unique<SharedSource>(data, data->content, data->failAfter, maxChunk, open_);
}

std::unique_ptr<ByteSink> ChangingFileSystem::openReplace(const std::string& path, std::string&) {
    return std::make_unique<StringSink>([this, path](std::string data) { set(path, data); });
}

// --- FaultyWrites

namespace {

class FaultySink final : public ByteSink {
public:
    FaultySink(std::unique_ptr<ByteSink> inner, const FaultyWrites& faults)
        : inner_(std::move(inner)), faults_(faults) {}
    bool write(std::string_view bytes) override {
        if (faults_.fault == FaultyWrites::Fault::FailWriteAfter &&
            written_ + bytes.size() > faults_.writeLimit) {
            // Part of it reaches the file, as with a disk that fills up.
            const std::size_t room = faults_.writeLimit - std::min(written_, faults_.writeLimit);
            inner_->write(bytes.substr(0, room));
            written_ += room;
            error_ = faults_.reason;
            return false;
        }
        written_ += bytes.size();
        return inner_->write(bytes);
    }
    bool commit() override {
        if (!error_.empty()) {
            return false;
        }
        if (faults_.fault == FaultyWrites::Fault::FailCommit) {
            error_ = faults_.reason;
            return false;  // the inner sink is dropped uncommitted: its temporary goes
        }
        return inner_->commit();
    }
    std::string error() const override { return error_.empty() ? inner_->error() : error_; }

private:
    std::unique_ptr<ByteSink> inner_;
    const FaultyWrites& faults_;
    std::size_t written_ = 0;
    std::string error_;
};

}  // namespace

FileStatus FaultyWrites::status(const std::string& path) {
    return RealFileSystem().status(path);
}

std::unique_ptr<ByteSource> FaultyWrites::openRead(const std::string& path, std::string& error) {
    return RealFileSystem().openRead(path, error);
}

std::unique_ptr<ByteSink> FaultyWrites::openReplace(const std::string& path, std::string& error) {
    if (fault == Fault::RefuseOpen) {
        error = reason;
        return nullptr;
    }
    std::unique_ptr<ByteSink> inner = RealFileSystem().openReplace(path, error);
    if (!inner) {
        return nullptr;
    }
    return std::make_unique<FaultySink>(std::move(inner), *this);
}

// --- QuietHost

std::vector<std::string> QuietHost::problems() const {
    std::vector<std::string> out;
    for (const auto& e : events) {
        if (e.rfind("problem:", 0) == 0)
            out.push_back(e.substr(8));
    }
    return out;
}

// --- RunWithDeadline

Finished RunWithDeadline(const std::string& program, const std::vector<std::string>& args,
                         unsigned deadlineSeconds, const std::string& stdinPath) {
    TempDir io;
    const std::string outPath = io.file("out");
    const std::string errPath = io.file("err");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);

    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open(stdinPath.c_str(), O_RDONLY | O_NONBLOCK);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) {
            ::_exit(126);
        }
        ::fcntl(in, F_SETFL, ::fcntl(in, F_GETFL) & ~O_NONBLOCK);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::signal(SIGALRM, SIG_DFL);
        ::alarm(deadlineSeconds);  // survives exec: the program is killed if it hangs
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    Finished result;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid) {
        if (WIFEXITED(status)) {
            result.exitStatus = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            result.signal = WTERMSIG(status);
        }
    }
    result.out = ReadWhole(outPath);
    result.err = ReadWhole(errPath);
    return result;
}

}  // namespace tallowby::testing
