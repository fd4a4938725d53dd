#include "DecompressingSource.h"

#include <cstring>
#include <exception>

namespace tallowby {

namespace {
constexpr std::size_t kInputBlock = 128 * 1024;  // compressed bytes per read of `raw`
}

DecompressingSource::DecompressingSource(std::unique_ptr<ByteSource> raw,
                                         std::unique_ptr<Decoder> decoder, Compression kind,
                                         std::string head, BlockHook hook)
    : raw_(std::move(raw)),
      decoder_(std::move(decoder)),
      kindName_(CompressionName(kind)),
      head_(std::move(head)),
      hook_(std::move(hook)),
      thread_([this] { decodeAll(); }) {}

DecompressingSource::~DecompressingSource() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

std::ptrdiff_t DecompressingSource::read(char* buffer, std::size_t capacity) {
    while (!done_ && offset_ == current_.size) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!current_.bytes.empty()) {
            spare_.push_back(std::move(current_.bytes));
        }
        changed_.wait(lock, [this] { return !ready_.empty() || finished_; });
        if (ready_.empty()) {
            done_ = true;
            error_ = problem_;
            break;
        }
        current_ = std::move(ready_.front());
        ready_.pop_front();
        offset_ = 0;
        lock.unlock();
        changed_.notify_all();
        if (hook_ && !hook_(current_.compressedEnd)) {
            done_ = true;
            error_ = kReadingStopped;
        }
    }
    if (done_) {
        return error_.empty() ? 0 : -1;
    }
    const std::size_t n = std::min(capacity, current_.size - offset_);
    std::memcpy(buffer, current_.bytes.data() + offset_, n);
    offset_ += n;
    return static_cast<std::ptrdiff_t>(n);
}

void DecompressingSource::decodeAll() {
    try {
        decodeLoop();
    } catch (const std::exception&) {  // bad_alloc: end as a failure, never past the thread
        finish("out of memory for " + std::string(kindName_) + " data");
    }
}

void DecompressingSource::decodeLoop() {
    std::vector<std::uint8_t> in(std::max(kInputBlock, head_.size()));
    std::memcpy(in.data(), head_.data(), head_.size());
    std::size_t inBegin = 0;
    std::size_t inEnd = head_.size();
    bool inputEnded = false;
    std::uint64_t consumedTotal = 0;
    Block out = spareBlock();
    bool stalled = false;  // the last call used nothing: the decoder needs more input
    for (;;) {
        if (!inputEnded && (inBegin == inEnd || stalled)) {
            std::memmove(in.data(), in.data() + inBegin, inEnd - inBegin);
            inEnd -= inBegin;
            inBegin = 0;
            if (inEnd == in.size()) {
                in.resize(in.size() * 2);  // a decoder that needs more at once; never seen
            }
            const std::ptrdiff_t n =
                raw_->read(reinterpret_cast<char*>(in.data()) + inEnd, in.size() - inEnd);
            if (n < 0) {
                hand(out);
                finish(raw_->error());
                return;
            }
            if (n == 0) {
                inputEnded = true;
            }
            inEnd += static_cast<std::size_t>(n);
        }
        std::size_t consumed = 0;
        std::size_t produced = 0;
        const bool ok =
            decoder_->decode(in.data() + inBegin, inEnd - inBegin,
                             reinterpret_cast<std::uint8_t*>(out.bytes.data()) + out.size,
                             kBlock - out.size, inputEnded, consumed, produced);
        inBegin += consumed;
        consumedTotal += consumed;
        out.size += produced;
        out.compressedEnd = consumedTotal;
        if (!ok) {
            hand(out);
            finish(decoder_->problem());
            return;
        }
        if (out.size == kBlock) {
            if (!hand(out)) {
                return;
            }
            out = spareBlock();
        }
        stalled = consumed == 0 && produced == 0;
        if (stalled && inputEnded && inBegin == inEnd) {
            hand(out);
            finish(decoder_->atBoundary() ? std::string()
                                          : "truncated " + std::string(kindName_) + " data");
            return;
        }
        if (stalled && inputEnded) {
            // Input left that the decoder will not take: nothing more can come.
            hand(out);
            finish("corrupt " + std::string(kindName_) + " data");
            return;
        }
    }
}

bool DecompressingSource::hand(Block& block) {
    if (block.size == 0) {
        return true;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return ready_.size() < kQueueBlocks || closing_; });
    if (closing_) {
        return false;
    }
    ready_.push_back(std::move(block));
    lock.unlock();
    changed_.notify_all();
    return true;
}

DecompressingSource::Block DecompressingSource::spareBlock() {
    Block block;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!spare_.empty()) {
            block.bytes = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    block.bytes.resize(kBlock);
    return block;
}

void DecompressingSource::finish(std::string problem) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
        problem_ = std::move(problem);
    }
    changed_.notify_all();
}

}  // namespace tallowby
