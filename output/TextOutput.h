#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace tallowby {

// Text written in pieces to somewhere: the bytes gather in a buffer that is
// handed on whenever it passes a threshold, in the middle of a long cell too,
// so a cell is never held whole a second time, escaped or not. Without a
// drain everything gathers in the caller's string.
class TextOutput {
public:
    // Takes the buffered bytes; false when they could not be written.
    using Drain = std::function<bool(std::string_view)>;
    static constexpr std::size_t kDefaultThreshold = 1 << 16;

    explicit TextOutput(std::string& text) : buffer_(&text) {}
    explicit TextOutput(Drain drain, std::size_t threshold = kDefaultThreshold)
        : buffer_(&own_), drain_(std::move(drain)), threshold_(threshold) {
        own_.reserve(threshold_ + 1024);
    }
    TextOutput(const TextOutput&) = delete;
    TextOutput& operator=(const TextOutput&) = delete;

    // Where the next bytes go; call spill() after appending much.
    std::string& buffer() { return *buffer_; }
    // Hands the buffer on when it holds the threshold or more.
    void spill() {
        if (drain_ && buffer_->size() >= threshold_) {
            drainNow();
        }
    }
    // Appends `bytes` in pieces no larger than the threshold.
    void write(std::string_view bytes) {
        // Most pieces are a cell of a row, far below the threshold.
        if (!drain_ || buffer_->size() + bytes.size() < threshold_) {
            buffer_->append(bytes);
            return;
        }
        writeInPieces(bytes);
    }
    // Hands on what is held, then `bytes` as they are, without copying them
    // into the buffer: for text formatted elsewhere, in large pieces.
    void pass(std::string_view bytes);
    // Hands on whatever is held. False when any drain failed; after a
    // failure later bytes are dropped, not held.
    bool flush();
    bool ok() const { return ok_; }
    // Bytes held, not yet handed on.
    std::size_t held() const { return buffer_->size(); }

private:
    void drainNow();
    void writeInPieces(std::string_view bytes);

    std::string own_;
    std::string* buffer_;
    Drain drain_;
    std::size_t threshold_ = kDefaultThreshold;
    bool ok_ = true;
};

}  // namespace tallowby
