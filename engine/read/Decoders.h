#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "CompressionKind.h"

namespace tallowby {

// One streaming decompressor, fed piece by piece. Each format reads
// concatenated streams (gzip members, bzip2 and xz streams, zstd frames) as
// one, as its own command-line tool does.
class Decoder {
public:
    virtual ~Decoder() = default;

    // Decodes from `in` into `out` (outSize > 0) and says how much of each
    // it used. `last` says that no input follows `in`. Returns false on data
    // that cannot be decoded; problem() then says why.
    virtual bool decode(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                        std::size_t outSize, bool last, std::size_t& consumed,
                        std::size_t& produced) = 0;
    // True when the input so far ends where a stream ends, so an input that
    // stops here is whole rather than cut short.
    virtual bool atBoundary() const = 0;
    const std::string& problem() const { return problem_; }

protected:
    std::string problem_;
};

// A decoder for `kind` (not None). Returns null when the library cannot set
// one up, with the reason in `error`.
std::unique_ptr<Decoder> MakeDecoder(Compression kind, std::string& error);

}  // namespace tallowby
