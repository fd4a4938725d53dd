#include "ShownText.h"

namespace tallowby {

namespace {

void AppendHex(std::string& out, unsigned char c) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

}  // namespace

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0 when it
// starts ill-formed; `invalid` then receives the length of the maximal
// subpart to replace (at least 1).
std::size_t Utf8Sequence(std::string_view s, std::size_t& invalid) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = b(0);
    std::size_t need;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        if (lead == 0xE0)
            lo = 0xA0;  // no overlong forms
        if (lead == 0xED)
            hi = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        if (lead == 0xF0)
            lo = 0x90;
        if (lead == 0xF4)
            hi = 0x8F;  // nothing above U+10FFFF
    } else {
        invalid = 1;
        return 0;
    }
    for (std::size_t i = 1; i <= need; ++i) {
        const bool ok =
            i < s.size() && b(i) >= (i == 1 ? lo : 0x80) && b(i) <= (i == 1 ? hi : 0xBF);
        if (!ok) {
            invalid = i;
            return 0;
        }
    }
    return need + 1;
}

std::string EscapeControlBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F) {
                AppendHex(out, c);
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        std::size_t invalid = 0;
        const std::size_t n = Utf8Sequence(text.substr(i), invalid);
        // U+0080..U+009F (C2 80..C2 9F) are controls too: 0x9B opens a
        // command sequence on some terminals.
        const bool c1 = n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (n == 0 || c1) {
            const std::size_t bad = c1 ? 2 : 1;
            for (std::size_t k = 0; k < bad; ++k) {
                AppendHex(out, static_cast<unsigned char>(text[i + k]));
            }
            i += bad;
            continue;
        }
        out.append(text, i, n);
        i += n;
    }
    return out;
}

}  // namespace tallowby
