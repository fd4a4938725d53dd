#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "CompressionKind.h"
#include "FileSystem.h"

namespace tallowby {

// How many first bytes SniffCompression needs to tell every format apart
// (bzip2's: "BZh", a block size, then a block's six-byte magic).
inline constexpr std::size_t kSniffBytes = 10;

// The format whose magic number `head` (the first kSniffBytes bytes, or the
// whole file when it is shorter) starts with; None for anything else,
// including a `head` too short to hold one. A text that only begins like
// bzip2 ("BZh5 ...") is None.
Compression SniffCompression(std::string_view head);

// Reads the first bytes of `raw` and returns the source the scan reads:
// for a compressed stream, one that decompresses it on a thread of its own
// while the caller reads (a few blocks ahead, never more); otherwise one
// that hands back the bytes already read and then reads `raw` directly,
// so plain files pay no extra copy. `kind` receives what was found. A read
// error while sniffing is reported by the read that follows the bytes read
// before it. Null only when no memory is left; throws nothing.
// With `head` given, the first bytes read are put into `head` as they are,
// compressed or not, for the caller to look at: kSniffBytes of them (fewer
// when the stream is shorter or a read fails), or up to `headBytes` when
// `longerHeadFor` says yes to the first kSniffBytes. A log is then read no
// further ahead than before it was looked at.
std::unique_ptr<ByteSource> OpenDecoded(
    std::unique_ptr<ByteSource> raw, Compression& kind, BlockHook hook = {},
    std::string* head = nullptr, std::size_t headBytes = kSniffBytes,
    const std::function<bool(std::string_view)>& longerHeadFor = {});

}  // namespace tallowby
