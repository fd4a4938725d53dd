#include "Compression.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

#include "Decoders.h"
#include "DecompressingSource.h"

namespace tallowby {

namespace {

bool StartsWith(std::string_view head, std::string_view magic) {
    return head.substr(0, magic.size()) == magic;
}

// "BZh", the block size '1' to '9', then the magic of a block or, for an
// empty stream, of its end. A head that ends sooner (the file does) need
// only begin one of them, so a bzip2 file cut short is reported as such.
bool LooksLikeBzip2(std::string_view head) {
    if (head.size() < 4 || !StartsWith(head, "BZh") || head[3] < '1' || head[3] > '9') {
        return false;
    }
    const std::string_view next = head.substr(4, 6);
    return StartsWith("\x31\x41\x59\x26\x53\x59", next) ||  // a block: the digits of pi
           StartsWith("\x17\x72\x45\x38\x50\x90", next);    // the end: those of its square root
}

// A plain stream whose first bytes were read to sniff it: those bytes come
// back first, in the same read as the bytes that follow them.
class PrefixedSource final : public ByteSource {
public:
    enum class State { Open, Ended, Failed };  // how the sniffing read of `raw` left it

    PrefixedSource(std::unique_ptr<ByteSource> raw, std::string head, State state)
        : raw_(std::move(raw)), head_(std::move(head)), state_(state) {}

    std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
        if (offset_ == head_.size()) {
            switch (state_) {
                case State::Open:
                    return raw_->read(buffer, capacity);  // the rest of the stream, uncopied
                case State::Ended:
                    return 0;
                case State::Failed:
                    return -1;
            }
        }
        const std::size_t n = std::min(capacity, head_.size() - offset_);
        std::memcpy(buffer, head_.data() + offset_, n);
        offset_ += n;
        if (offset_ == head_.size() && state_ == State::Open && capacity > n) {
            const std::ptrdiff_t more = raw_->read(buffer + n, capacity - n);
            if (more > 0) {
                return static_cast<std::ptrdiff_t>(n) + more;
            }
            state_ = more == 0 ? State::Ended : State::Failed;
        }
        return static_cast<std::ptrdiff_t>(n);
    }
    std::string error() const override { return raw_->error(); }
    // The head was read from `raw`, so in place it lies just before what
    // `raw` hands out next, and goes out with it.
    std::ptrdiff_t take(const char*& at, std::size_t want) override {
        if (state_ != State::Open) {
            return kNotInPlace;
        }
        if (overhang_ == 0) {
            const char* got = nullptr;
            const std::ptrdiff_t n = raw_->take(got, want);
            const std::size_t pending = head_.size() - offset_;
            if (n == kNotInPlace || (n <= 0 && pending == 0)) {
                return n;
            }
            if (n <= 0) {
                // Nothing after the head: it goes out by read(), this
                // being the first take.
                state_ = n == 0 ? State::Ended : State::Failed;
                return kNotInPlace;
            }
            overhangAt_ = got - pending;
            overhang_ = static_cast<std::size_t>(n) + pending;
            offset_ = head_.size();
        }
        const std::size_t give = std::min(want, overhang_);
        at = overhangAt_;
        overhangAt_ += give;
        overhang_ -= give;
        return static_cast<std::ptrdiff_t>(give);
    }
    void release(const char* upTo) override { raw_->release(upTo); }
    std::uint64_t cutAt() const override { return raw_->cutAt(); }
    // Once the head and what came with it are out, the rest is `raw`'s.
    std::uint64_t skipZeros(std::uint64_t atMost) override {
        if (offset_ != head_.size() || overhang_ > 0 || state_ != State::Open) {
            return 0;
        }
        return raw_->skipZeros(atMost);
    }

private:
    std::unique_ptr<ByteSource> raw_;
    std::string head_;
    std::size_t offset_ = 0;
    State state_;
    // In place: bytes `raw` handed out with the head, not yet passed on.
    const char* overhangAt_ = nullptr;
    std::size_t overhang_ = 0;
};

// A source that fails at once, for a decompressor that could not start.
class FailedSource final : public ByteSource {
public:
    explicit FailedSource(std::string error) : error_(std::move(error)) {}
    std::ptrdiff_t read(char*, std::size_t) override { return -1; }
    std::string error() const override { return error_; }

private:
    std::string error_;
};

}  // namespace

Compression SniffCompression(std::string_view head) {
    if (StartsWith(head, "\x1f\x8b")) {
        return Compression::Gzip;
    }
    if (LooksLikeBzip2(head)) {
        return Compression::Bzip2;
    }
    if (StartsWith(head, std::string_view("\xfd\x37zXZ\0", 6))) {
        return Compression::Xz;
    }
    if (StartsWith(head, "\x28\xb5\x2f\xfd")) {
        return Compression::Zstd;
    }
    // A zstd skippable frame (magic 0x184D2A50 to 0x184D2A5F, little-endian).
    if (head.size() >= 4 && (static_cast<unsigned char>(head[0]) & 0xF0) == 0x50 &&
        StartsWith(head.substr(1), "\x2a\x4d\x18")) {
        return Compression::Zstd;
    }
    return Compression::None;
}

std::unique_ptr<ByteSource> OpenDecoded(
    std::unique_ptr<ByteSource> raw, Compression& kind, BlockHook hook, std::string* head,
    std::size_t headBytes, const std::function<bool(std::string_view)>& longerHeadFor) {
    kind = Compression::None;
    // The sniff's bytes first; more of the head only for a file that begins
    // as `longerHeadFor` says, so that a log is read no further ahead than
    // the sniff needs.
    std::size_t want = kSniffBytes;
    std::string firstBytes;
    auto state = PrefixedSource::State::Open;
    std::size_t have = 0;
    for (bool more = true; more;) {
        more = false;
        try {
            firstBytes.resize(want);
        } catch (const std::exception&) {
            return nullptr;
        }
        while (have < want) {
            const std::ptrdiff_t n = raw->read(firstBytes.data() + have, want - have);
            if (n <= 0) {
                state = n == 0 ? PrefixedSource::State::Ended : PrefixedSource::State::Failed;
                break;
            }
            have += static_cast<std::size_t>(n);
        }
        if (have == want && head != nullptr && headBytes > want && longerHeadFor &&
            longerHeadFor(std::string_view(firstBytes.data(), have))) {
            want = headBytes;
            more = true;
        }
    }
    firstBytes.resize(have);
    if (state != PrefixedSource::State::Failed) {
        kind = SniffCompression(firstBytes);
    }
    try {
        if (head != nullptr) {
            *head = firstBytes;
        }
        if (kind == Compression::None) {
            return std::make_unique<PrefixedSource>(std::move(raw), std::move(firstBytes), state);
        }
        std::string error;
        std::unique_ptr<Decoder> decoder = MakeDecoder(kind, error);
        if (!decoder) {
            return std::make_unique<FailedSource>(error);
        }
        return std::make_unique<DecompressingSource>(std::move(raw), std::move(decoder), kind,
                                                     std::move(firstBytes), std::move(hook));
    } catch (const std::exception& e) {  // no memory, or no thread to decode on
        try {
            return std::make_unique<FailedSource>(std::string("cannot decompress: ") + e.what());
        } catch (const std::exception&) {
            return nullptr;  // not even that much memory left
        }
    }
}

}  // namespace tallowby
