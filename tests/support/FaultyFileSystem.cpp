#include "FaultyFileSystem.h"

#include <algorithm>
#include <string_view>

namespace tallowby::testing {

namespace {

class FaultySink final : public ByteSink {
public:
    FaultySink(std::unique_ptr<ByteSink> inner, const FaultyFileSystem& faults)
        : inner_(std::move(inner)), faults_(faults) {}
    bool write(std::string_view bytes) override {
        if (faults_.fault == FaultyFileSystem::Fault::FailWriteAfter &&
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
        if (faults_.fault == FaultyFileSystem::Fault::FailCommit) {
            error_ = faults_.reason;
            return false;  // the inner sink is dropped uncommitted: its temporary goes
        }
        return inner_->commit();
    }
    std::string error() const override { return error_.empty() ? inner_->error() : error_; }

private:
    std::unique_ptr<ByteSink> inner_;
    const FaultyFileSystem& faults_;
    std::size_t written_ = 0;
    std::string error_;
};

}  // namespace

FileStatus FaultyFileSystem::status(const std::string& path) {
    if (staleStatus) {
        FileStatus st;
        st.kind = FileKind::Regular;
        return st;
    }
    return RealFileSystem().status(path);
}

std::unique_ptr<ByteSource> FaultyFileSystem::openRead(const std::string& path,
                                                       std::string& error) {
    return RealFileSystem().openRead(path, error);
}

std::unique_ptr<ByteSink> FaultyFileSystem::openReplace(const std::string& path,
                                                        std::string& error) {
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

}  // namespace tallowby::testing
