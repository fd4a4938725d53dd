#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "FileSystem.h"

namespace tallowby {

// The compressed formats the scan reads, told apart by their first bytes
// (never by the file's name: logrotate names vary).
enum class Compression { None, Gzip, Bzip2, Xz, Zstd };

// How many first bytes SniffCompression needs to tell every format apart.
inline constexpr std::size_t kSniffBytes = 6;

// The format whose magic number `head` starts with; None for anything else,
// including a `head` too short to hold one.
Compression SniffCompression(std::string_view head);

// "gzip", "bzip2", "xz", "zstd"; "" for None.
const char* CompressionName(Compression kind);

// Called on the reading thread each time the decompressed source hands out
// a new block, with the compressed bytes consumed up to the end of that
// block. Returning false ends the reading: the source then fails with
// kReadingStopped.
using BlockHook = std::function<bool(std::uint64_t compressedBytes)>;

inline constexpr const char* kReadingStopped = "Reading stopped";

// Reads the first bytes of `raw` and returns the source the scan reads:
// for a compressed stream, one that decompresses it on a thread of its own
// while the caller reads (a few blocks ahead, never more); otherwise one
// that hands back the bytes already read and then reads `raw` directly,
// so plain files pay no extra copy. `kind` receives what was found. A read
// error while sniffing is reported by the read that follows the bytes read
// before it. Null only when no memory is left; throws nothing.
std::unique_ptr<ByteSource> OpenDecoded(std::unique_ptr<ByteSource> raw, Compression& kind,
                                        BlockHook hook = {});

}  // namespace tallowby
