#include "Decoders.h"

#include <bzlib.h>
#include <isa-l/igzip_lib.h>
#include <lzma.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <climits>
#include <new>

namespace tallowby {

namespace {

// The libraries count in 32-bit lengths; the source hands them far less.
unsigned Clamp32(std::size_t n) {
    return static_cast<unsigned>(std::min<std::size_t>(n, UINT_MAX));
}

// ISA-L's igzip: gzip members one after the other, each checked against its
// CRC and length. Zero bytes after a member (padding some tools write) are
// skipped, as gzip itself does.
class GzipDecoder final : public Decoder {
public:
    GzipDecoder() { restart(); }

    bool decode(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize,
                bool, std::size_t& consumed, std::size_t& produced) override {
        consumed = produced = 0;
        if (memberDone_) {
            while (consumed < inSize && in[consumed] == 0) {
                ++consumed;
            }
            if (consumed == inSize) {
                return true;
            }
            restart();
        }
        state_.next_in = const_cast<std::uint8_t*>(in + consumed);
        state_.avail_in = Clamp32(inSize - consumed);
        state_.next_out = out;
        state_.avail_out = Clamp32(outSize);
        const int result = isal_inflate(&state_);
        consumed = static_cast<std::size_t>(state_.next_in - in);
        produced = static_cast<std::size_t>(state_.next_out - out);
        if (result < 0) {
            problem_ = "corrupt gzip data";
            return false;
        }
        memberDone_ = state_.block_state == ISAL_BLOCK_FINISH;
        return true;
    }
    bool atBoundary() const override { return memberDone_; }

private:
    void restart() {
        isal_inflate_init(&state_);
        state_.crc_flag = ISAL_GZIP;
        memberDone_ = false;
    }

    inflate_state state_{};
    bool memberDone_ = false;
};

// libbz2: a new stream starts wherever one ends and input is left.
class Bzip2Decoder final : public Decoder {
public:
    ~Bzip2Decoder() override {
        if (open_) {
            BZ2_bzDecompressEnd(&stream_);
        }
    }
    bool start(std::string& error) {
        stream_ = bz_stream{};
        if (BZ2_bzDecompressInit(&stream_, 0, 0) != BZ_OK) {
            error = "cannot set up bzip2 decompression";
            return false;
        }
        open_ = true;
        ended_ = false;
        return true;
    }

    bool decode(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize,
                bool, std::size_t& consumed, std::size_t& produced) override {
        consumed = produced = 0;
        if (ended_) {
            if (inSize == 0) {
                return true;
            }
            BZ2_bzDecompressEnd(&stream_);
            open_ = false;
            if (!start(problem_)) {
                return false;
            }
        }
        stream_.next_in = const_cast<char*>(reinterpret_cast<const char*>(in));
        stream_.avail_in = Clamp32(inSize);
        stream_.next_out = reinterpret_cast<char*>(out);
        stream_.avail_out = Clamp32(outSize);
        const int result = BZ2_bzDecompress(&stream_);
        consumed = inSize - stream_.avail_in;
        produced = outSize - stream_.avail_out;
        if (result == BZ_STREAM_END) {
            ended_ = true;
        } else if (result == BZ_MEM_ERROR) {
            problem_ = "out of memory for bzip2 data";
            return false;
        } else if (result != BZ_OK) {
            problem_ = "corrupt bzip2 data";
            return false;
        }
        return true;
    }
    bool atBoundary() const override { return ended_; }

private:
    bz_stream stream_{};
    bool open_ = false;
    bool ended_ = false;
};

// liblzma reads concatenated .xz streams and their padding by itself. Its
// memory is capped like zstd's window: xz -9 needs 65 MB to decode, while a
// crafted header could ask for gigabytes.
class XzDecoder final : public Decoder {
public:
    static constexpr std::uint64_t kMemoryLimit = 256ull << 20;
    ~XzDecoder() override { lzma_end(&stream_); }
    bool start(std::string& error) {
        if (lzma_stream_decoder(&stream_, kMemoryLimit, LZMA_CONCATENATED) != LZMA_OK) {
            error = "cannot set up xz decompression";
            return false;
        }
        return true;
    }

    bool decode(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize,
                bool last, std::size_t& consumed, std::size_t& produced) override {
        stream_.next_in = in;
        stream_.avail_in = inSize;
        stream_.next_out = out;
        stream_.avail_out = outSize;
        const lzma_ret result = lzma_code(&stream_, last ? LZMA_FINISH : LZMA_RUN);
        consumed = inSize - stream_.avail_in;
        produced = outSize - stream_.avail_out;
        switch (result) {
            case LZMA_STREAM_END:
                ended_ = true;
                return true;
            case LZMA_OK:
            case LZMA_BUF_ERROR:  // no progress: the caller sees it and decides
                return true;
            case LZMA_MEM_ERROR:
                problem_ = "out of memory for xz data";
                return false;
            case LZMA_MEMLIMIT_ERROR:
                problem_ = "xz data needs more than 256 MB to decompress";
                return false;
            case LZMA_OPTIONS_ERROR:
                problem_ = "unsupported xz data";
                return false;
            default:
                problem_ = "corrupt xz data";
                return false;
        }
    }
    bool atBoundary() const override { return ended_; }

private:
    lzma_stream stream_ = LZMA_STREAM_INIT;
    bool ended_ = false;
};

// libzstd reads frame after frame (and skips skippable frames) by itself.
class ZstdDecoder final : public Decoder {
public:
    ~ZstdDecoder() override { ZSTD_freeDStream(stream_); }
    bool start(std::string& error) {
        stream_ = ZSTD_createDStream();
        if (stream_ == nullptr || ZSTD_isError(ZSTD_initDStream(stream_))) {
            error = "cannot set up zstd decompression";
            return false;
        }
        return true;
    }

    bool decode(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t outSize,
                bool, std::size_t& consumed, std::size_t& produced) override {
        ZSTD_inBuffer input{in, inSize, 0};
        ZSTD_outBuffer output{out, outSize, 0};
        const std::size_t result = ZSTD_decompressStream(stream_, &output, &input);
        consumed = input.pos;
        produced = output.pos;
        if (ZSTD_isError(result)) {
            problem_ = ZSTD_getErrorCode(result) == ZSTD_error_frameParameter_windowTooLarge
                           ? "zstd data needs a window larger than 128 MB"
                           : "corrupt zstd data";
            return false;
        }
        // 0: a frame ended and all of it was handed out.
        if (consumed > 0 || produced > 0) {
            frameDone_ = result == 0;
        }
        return true;
    }
    bool atBoundary() const override { return frameDone_; }

private:
    ZSTD_DStream* stream_ = nullptr;
    bool frameDone_ = false;
};

template <typename T>
std::unique_ptr<Decoder> Started(std::string& error) {
    auto decoder = std::make_unique<T>();
    if (!decoder->start(error)) {
        return nullptr;
    }
    return decoder;
}

}  // namespace

std::unique_ptr<Decoder> MakeDecoder(Compression kind, std::string& error) {
    try {
        switch (kind) {
            case Compression::Gzip:
                return std::make_unique<GzipDecoder>();
            case Compression::Bzip2:
                return Started<Bzip2Decoder>(error);
            case Compression::Xz:
                return Started<XzDecoder>(error);
            case Compression::Zstd:
                return Started<ZstdDecoder>(error);
            case Compression::None:
                break;
        }
        error = "not compressed";
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    return nullptr;
}

}  // namespace tallowby
