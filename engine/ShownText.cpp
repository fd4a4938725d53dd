#include "ShownText.h"

namespace tallowby {

namespace {

// Length of the well-formed UTF-8 sequence starting at `s[0]`, or 0.
std::size_t Utf8Length(std::string_view s) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = at(0);
    std::size_t need = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        lo = lead == 0xE0 ? 0xA0 : lo;
        hi = lead == 0xED ? 0x9F : hi;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        lo = lead == 0xF0 ? 0x90 : lo;
        hi = lead == 0xF4 ? 0x8F : hi;
    } else {
        return 0;
    }
    for (std::size_t i = 1; i <= need; ++i) {
        if (i >= s.size() || at(i) < (i == 1 ? lo : 0x80) || at(i) > (i == 1 ? hi : 0xBF)) {
            return 0;
        }
    }
    return need + 1;
}

void AppendHex(std::string& out, unsigned char c) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

}  // namespace

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
        const std::size_t n = Utf8Length(text.substr(i));
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
