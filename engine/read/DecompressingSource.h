#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CompressionKind.h"
#include "Decoders.h"
#include "FileSystem.h"

namespace tallowby {

// A source that decompresses `raw` on a thread of its own, so decoding
// overlaps the scan of what was decoded before. The thread runs at most
// kQueueBlocks blocks ahead of the reader: memory stays bounded whatever the
// data inflates to. Corrupt or cut-short data ends the stream as a failure
// after everything decoded before the fault ("corrupt gzip data",
// "truncated xz data"). Destroying the source stops and joins the thread.
class DecompressingSource final : public ByteSource {
public:
    static constexpr std::size_t kBlock = 128 * 1024;  // decoded bytes per block
    static constexpr std::size_t kQueueBlocks = 4;

    // `head` holds the first bytes, already read from `raw`. `hook` (may be
    // empty) is called as described at BlockHook.
    DecompressingSource(std::unique_ptr<ByteSource> raw, std::unique_ptr<Decoder> decoder,
                        Compression kind, std::string head, BlockHook hook);
    ~DecompressingSource() override;

    // Hands out the rest of the current block, at most `capacity` bytes,
    // waiting for the thread when none is ready.
    std::ptrdiff_t read(char* buffer, std::size_t capacity) override;
    std::string error() const override { return error_; }

private:
    struct Block {
        std::vector<char> bytes;  // kBlock long; `size` of them hold data
        std::size_t size = 0;
        std::uint64_t compressedEnd = 0;  // compressed bytes consumed when it was full
    };

    void decodeAll();  // the thread's body
    void decodeLoop();
    bool hand(Block& block);  // queues a block; false when the reader is gone
    Block spareBlock();
    void finish(std::string problem);

    std::unique_ptr<ByteSource> raw_;
    std::unique_ptr<Decoder> decoder_;
    const char* kindName_;
    std::string head_;
    BlockHook hook_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> ready_;
    std::vector<std::vector<char>> spare_;  // buffers handed back for reuse
    bool finished_ = false;                 // the thread queued its last block
    bool closing_ = false;                  // the reader is being destroyed
    std::string problem_;                   // why the thread ended early, if it did

    // The reader's side, touched by read() only.
    Block current_;
    std::size_t offset_ = 0;
    bool done_ = false;
    std::string error_;

    std::thread thread_;  // last: started when everything above exists
};

}  // namespace tallowby
