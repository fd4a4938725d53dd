#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "CompressionKind.h"
#include "FileSystem.h"

namespace tallowby {

// How many first bytes SniffCompression needs to tell every format apart.
inline constexpr std::size_t kSniffBytes = 6;

// The format whose magic number `head` starts with; None for anything else,
// including a `head` too short to hold one.
Compression SniffCompression(std::string_view head);

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
