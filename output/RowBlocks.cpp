#include "RowBlocks.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/scan/Scanner.h"
#include "engine/tally/ThreadPlacement.h"

namespace tallowby {

namespace {

// Blocks are numbered in output order and formatted by whichever thread
// takes them first. Block b is formatted into slot b % slots, and may be
// taken only once block b - slots has been handed on: that bounds what is
// held to one block per slot. The writing thread hands the blocks on in
// order; a block nobody has taken when its turn comes it formats straight
// into the output, with no copy and no budget.
class BlockRelay {
public:
    BlockRelay(TextOutput& out, std::size_t rows, std::size_t slots, const FormatRowBlock& format)
        : out_(out),
          rows_(rows),
          blocks_((rows + kRowsPerBlock - 1) / kRowsPerBlock),
          format_(format),
          slots_(slots) {}

    // A helper thread: takes blocks while there are any and a slot is free.
    void help() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] {
                return stop_ || next_ >= blocks_ || next_ < written_ + slots_.size();
            });
            if (stop_ || next_ >= blocks_) {
                return;
            }
            formatNextAside(lock);
            changed_.notify_all();
        }
    }

    // The writing thread: hands every block on in order, formatting
    // whatever nobody else has taken.
    void write() {
        for (std::size_t w = 0; w < blocks_; ++w) {
            Slot& slot = slots_[w % slots_.size()];
            bool mine = false;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                for (;;) {
                    if (next_ == w) {
                        ++next_;
                        mine = true;
                        break;
                    }
                    if (slot.ready) {
                        break;
                    }
                    // Rather than wait for the block due, format one ahead.
                    if (next_ < blocks_ && next_ < w + slots_.size()) {
                        formatNextAside(lock);
                        continue;
                    }
                    changed_.wait(lock);
                }
            }
            const std::size_t to = std::min(rows_, (w + 1) * kRowsPerBlock);
            if (mine) {
                format_(out_, RowBlock{w * kRowsPerBlock, to, RowBlock::kUnbounded});
            } else {
                out_.pass(slot.text);
                if (slot.stoppedAt < to) {
                    format_(out_, RowBlock{slot.stoppedAt, to, RowBlock::kUnbounded});
                }
            }
            std::lock_guard<std::mutex> lock(mutex_);
            slot.ready = false;
            written_ = w + 1;
            stop_ = !out_.ok();
            changed_.notify_all();
            if (stop_) {
                return;
            }
        }
    }

    // Ends the helpers early (the writing thread failed).
    void stop() {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        changed_.notify_all();
    }

private:
    struct Slot {
        std::string text;
        std::size_t stoppedAt = 0;
        bool ready = false;
    };

    // Takes the next block and formats it into its slot, without the lock.
    void formatNextAside(std::unique_lock<std::mutex>& lock) {
        const std::size_t b = next_++;
        lock.unlock();
        formatAside(b);
        lock.lock();
        slots_[b % slots_.size()].ready = true;
    }

    void formatAside(std::size_t b) {
        Slot& slot = slots_[b % slots_.size()];
        const std::size_t from = b * kRowsPerBlock;
        slot.text.clear();
        slot.stoppedAt = from;
        // A block that fails here (out of memory) is left to the writing
        // thread, which formats it into the output as if nobody had.
        try {
            TextOutput text(slot.text);
            slot.stoppedAt =
                format_(text, RowBlock{from, std::min(rows_, from + kRowsPerBlock), kBlockBudget});
        } catch (...) {
            slot.text.clear();
            slot.stoppedAt = from;
        }
    }

    TextOutput& out_;
    const std::size_t rows_;
    const std::size_t blocks_;
    const FormatRowBlock& format_;
    std::vector<Slot> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t next_ = 0;     // the first block nobody has taken
    std::size_t written_ = 0;  // blocks handed on to the output
    bool stop_ = false;
};

}  // namespace

bool WriteRowBlocks(TextOutput& out, std::size_t rows, unsigned threads,
                    const FormatRowBlock& format) {
    threads = ThreadsFor(threads);
    const std::size_t blocks = (rows + kRowsPerBlock - 1) / kRowsPerBlock;
    const std::size_t helpers = std::min<std::size_t>(threads - 1, blocks > 0 ? blocks - 1 : 0);
    if (helpers == 0 || rows < kRowsOnThreadsFrom) {
        format(out, RowBlock{0, rows, RowBlock::kUnbounded});
        return out.ok();
    }
    // Two slots per thread: one block being formatted, one waiting its turn.
    BlockRelay relay(out, rows, 2 * (helpers + 1), format);
    std::vector<std::thread> pool;
    pool.reserve(helpers);
    for (std::size_t i = 0; i < helpers; ++i) {
        try {
            pool.push_back(StartOffThisCore([&relay] { relay.help(); }));
        } catch (const std::system_error&) {
            break;  // fewer helpers; the writing thread can do every block alone
        }
    }
    try {
        relay.write();
    } catch (...) {
        relay.stop();
        for (std::thread& t : pool) {
            t.join();
        }
        throw;
    }
    relay.stop();
    for (std::thread& t : pool) {
        t.join();
    }
    return out.ok();
}

}  // namespace tallowby
