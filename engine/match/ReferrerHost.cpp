#include "ReferrerHost.h"

#include "ShownText.h"  // Utf8Sequence
#include "TextFold.h"

namespace tallowby {

namespace {

// What a byte means inside the authority part of an address. A table,
// because the spam filter reads the host of every referring line.
enum ByteClass : unsigned char { kPlain, kRewrite, kEnd, kAt, kColon };

struct ByteClasses {
    unsigned char of[256] = {};
    constexpr ByteClasses() {
        for (const char c : {'/', '\\', '?', '#', ' ', '\t', '"', '\'', ')'}) {
            of[static_cast<unsigned char>(c)] = kEnd;
        }
        for (char c = 'A'; c <= 'Z'; ++c) {
            of[static_cast<unsigned char>(c)] = kRewrite;
        }
        of[static_cast<unsigned char>('%')] = kRewrite;
        of[static_cast<unsigned char>('@')] = kAt;
        of[static_cast<unsigned char>(':')] = kColon;
    }
};
constexpr ByteClasses kClasses;

// Where the authority starts: after the scheme and the slashes browsers
// skip for http and https; after the first "://" for anything else.
std::size_t AuthorityStart(std::string_view referrer) {
    std::size_t begin = 0;
    if (StartsWithIgnoringCase(referrer, "http://")) {
        begin = 7;
    } else if (StartsWithIgnoringCase(referrer, "https://")) {
        begin = 8;
    } else {
        const std::size_t scheme = referrer.find("://");
        return scheme == std::string_view::npos ? 0 : scheme + 3;
    }
    while (begin < referrer.size() && (referrer[begin] == '/' || referrer[begin] == '\\')) {
        ++begin;
    }
    return begin;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const unsigned char folded = FoldByte(static_cast<unsigned char>(c));
    return folded >= 'a' && folded <= 'f' ? folded - 'a' + 10 : -1;
}

// Bytes that make a host one no browser opens.
bool RefusedInHost(unsigned char c) {
    if (c < 0x20 || c == 0x7f) {
        return true;
    }
    for (const char refused :
         {' ', '#', '%', '/', ':', '<', '>', '?', '@', '[', '\\', ']', '^', '|'}) {
        if (c == static_cast<unsigned char>(refused)) {
            return true;
        }
    }
    return false;
}

// `out` := `host` with its "%XX" escapes decoded. False (and `out` left
// undefined) when the result holds a byte browsers refuse in a host or is
// not UTF-8; an escape that is not one leaves a "%", which they refuse too.
bool DecodeEscapes(std::string_view host, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < host.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(host[i]);
        if (c == '%' && i + 2 < host.size() && HexValue(host[i + 1]) >= 0 &&
            HexValue(host[i + 2]) >= 0) {
            c = static_cast<unsigned char>(HexValue(host[i + 1]) * 16 + HexValue(host[i + 2]));
            i += 2;
        }
        if (RefusedInHost(c)) {
            return false;
        }
        out += static_cast<char>(c);
    }
    for (std::size_t i = 0; i < out.size();) {
        if (static_cast<unsigned char>(out[i]) < 0x80) {
            ++i;
            continue;
        }
        std::size_t invalid = 0;
        const std::size_t length = Utf8Sequence(std::string_view(out).substr(i), invalid);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string_view WithoutTrailingDots(std::string_view host) {
    while (!host.empty() && host.back() == '.') {
        host.remove_suffix(1);
    }
    return host;
}

}  // namespace

std::string_view BrowserHost(std::string_view referrer, std::string& scratch) {
    std::size_t begin = AuthorityStart(referrer);
    // One pass to the end of the authority: "user:password@host" has its
    // host after the last "@", and the first ":" after that starts the port.
    std::size_t colon = std::string_view::npos;
    bool rewrite = false;  // a capital or an escape: the host is not as written
    std::size_t end = begin;
    for (; end < referrer.size(); ++end) {
        const unsigned char type = kClasses.of[static_cast<unsigned char>(referrer[end])];
        if (type == kPlain) {
            continue;
        }
        if (type == kRewrite) {
            rewrite = true;
        } else if (type == kEnd) {
            break;
        } else if (type == kAt) {
            begin = end + 1;
            colon = std::string_view::npos;
            rewrite = false;
        } else if (colon == std::string_view::npos) {
            colon = end;
        }
    }
    std::string_view host = referrer.substr(begin, end - begin);
    bool bracketed = false;
    if (!host.empty() && host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close != std::string_view::npos) {
            host = host.substr(0, close + 1);
            bracketed = true;
        }
    }
    if (!bracketed && colon != std::string_view::npos) {
        host = host.substr(0, colon - begin);
    }
    if (!rewrite) {
        return WithoutTrailingDots(host);
    }
    if (bracketed || host.find('%') == std::string_view::npos || !DecodeEscapes(host, scratch)) {
        scratch.assign(host);
    }
    for (char& c : scratch) {
        c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
    }
    scratch.resize(WithoutTrailingDots(scratch).size());
    return scratch;
}

std::string_view AfterAuthority(std::string_view referrer) {
    std::size_t end = AuthorityStart(referrer);
    while (end < referrer.size() &&
           kClasses.of[static_cast<unsigned char>(referrer[end])] != kEnd) {
        ++end;
    }
    return referrer.substr(end);
}

std::string ReferrerHost(std::string_view referrer) {
    std::string scratch;
    return std::string(BrowserHost(referrer, scratch));
}

}  // namespace tallowby
