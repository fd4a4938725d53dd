#pragma once

#include <cstdint>
#include <functional>

namespace tallowby {

// The compressed formats the scan reads, told apart by their first bytes
// (never by the file's name: logrotate names vary).
enum class Compression { None, Gzip, Bzip2, Xz, Zstd };

// "gzip", "bzip2", "xz", "zstd"; "" for None.
inline const char* CompressionName(Compression kind) {
    switch (kind) {
        case Compression::Gzip:
            return "gzip";
        case Compression::Bzip2:
            return "bzip2";
        case Compression::Xz:
            return "xz";
        case Compression::Zstd:
            return "zstd";
        case Compression::None:
            break;
    }
    return "";
}

// Called on the reading thread each time the decompressed source hands out
// a new block, with the compressed bytes consumed up to the end of that
// block. Returning false ends the reading: the source then fails with
// kReadingStopped.
using BlockHook = std::function<bool(std::uint64_t compressedBytes)>;

inline constexpr const char* kReadingStopped = "Reading stopped";

}  // namespace tallowby
