#include "CombinedLayout.h"

#include <cstring>

namespace tallowby {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

// "-" and nothing both stand for a value the request did not have.
std::string_view Value(std::string_view field) {
    return field == "-" ? std::string_view{} : field;
}

// Reads a line's fields left to right. Every step either takes what it
// names and moves on, or fails and leaves the cursor where it was.
class Cursor {
public:
    Cursor(std::string_view line, std::size_t at) : s_(line), at_(at) {}

    bool atEnd() const { return at_ == s_.size(); }
    // Only blanks are left.
    bool atBlankEnd() const { return s_.find_first_not_of(" \t", at_) == std::string_view::npos; }

    bool space() {
        if (at_ < s_.size() && s_[at_] == ' ') {
            ++at_;
            return true;
        }
        return false;
    }
    // A run of bytes other than space, at least one, up to a space or the end.
    // (Fields between spaces are short: a plain loop beats a call.)
    bool token(std::string_view* out = nullptr) {
        std::size_t end = at_;
        while (end < s_.size() && s_[end] != ' ') {
            ++end;
        }
        if (end == at_) {
            return false;
        }
        if (out) {
            *out = s_.substr(at_, end - at_);
        }
        at_ = end;
        return true;
    }
    // A token of digits only, or "-" where `dash` allows it.
    bool number(bool dash) {
        std::string_view t;
        const std::size_t from = at_;
        if (!token(&t)) {
            return false;
        }
        bool digits = true;
        for (char c : t) {
            digits = digits && IsDigit(c);
        }
        if (digits || (dash && t == "-")) {
            return true;
        }
        at_ = from;
        return false;
    }
    // An HTTP status: three digits (or "-" where `dash` allows it).
    bool status(bool dash) {
        const std::size_t from = at_;
        std::string_view t;
        if (token(&t) && ((t.size() == 3 && IsDigit(t[0]) && IsDigit(t[1]) && IsDigit(t[2])) ||
                          (dash && t == "-"))) {
            return true;
        }
        at_ = from;
        return false;
    }
    // A field in double quotes: up to the first quote that no backslash
    // escapes (a backslash escapes the next byte, itself included); `inner`
    // is what stands between the quotes, escapes as written.
    bool quoted(std::string_view& inner) {
        if (at_ >= s_.size() || s_[at_] != '"') {
            return false;
        }
        for (std::size_t from = at_ + 1;;) {
            const void* q = std::memchr(s_.data() + from, '"', s_.size() - from);
            if (!q) {
                return false;
            }
            const std::size_t close =
                static_cast<std::size_t>(static_cast<const char*>(q) - s_.data());
            std::size_t backslashes = 0;
            while (close - backslashes > at_ + 1 && s_[close - backslashes - 1] == '\\') {
                ++backslashes;
            }
            if (backslashes % 2 == 0) {
                inner = s_.substr(at_ + 1, close - at_ - 1);
                at_ = close + 1;
                return true;
            }
            from = close + 1;
        }
    }
    // The request time in brackets: [10/Oct/2000:13:55:36 -0700].
    bool date() {
        static constexpr std::size_t kSize = 28;
        if (s_.size() - at_ < kSize) {
            return false;
        }
        const char* d = s_.data() + at_;
        const auto digits = [d](std::size_t from, std::size_t n) {
            for (std::size_t i = from; i < from + n; ++i) {
                if (!IsDigit(d[i])) {
                    return false;
                }
            }
            return true;
        };
        if (d[0] != '[' || !digits(1, 2) || d[3] != '/' || !IsLetter(d[4]) || !IsLetter(d[5]) ||
            !IsLetter(d[6]) || d[7] != '/' || !digits(8, 4) || d[12] != ':' || !digits(13, 2) ||
            d[15] != ':' || !digits(16, 2) || d[18] != ':' || !digits(19, 2) || d[21] != ' ' ||
            (d[22] != '+' && d[22] != '-') || !digits(23, 4) || d[27] != ']') {
            return false;
        }
        at_ += kSize;
        return true;
    }

private:
    std::string_view s_;
    std::size_t at_;
};

// What follows the referrer: the end, or a space and the quoted user agent
// with the end or a space (and anything) after it.
bool ReadAgent(Cursor& c, std::string_view& agent) {
    if (c.atEnd()) {
        return true;
    }
    if (!c.space() || !c.quoted(agent)) {
        return false;
    }
    return c.atEnd() || c.space();
}

// The fields of an object store's access log after its time: remote ip,
// requester, request id, operation, key, "request-uri", status, error code,
// bytes sent, object size, total time, turn-around time, "referer",
// "user-agent", then any more.
bool ReadS3(Cursor& c, LineFields& out) {
    for (int i = 0; i < 5; ++i) {
        if (!c.token() || !c.space()) {
            return false;
        }
    }
    std::string_view request;
    if (!(c.quoted(request) || c.token()) || !c.space() || !c.status(true) || !c.space() ||
        !c.token() || !c.space()) {
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        if (!c.number(true) || !c.space()) {
            return false;
        }
    }
    std::string_view referrer, agent;
    if (!c.quoted(referrer) || !ReadAgent(c, agent)) {
        return false;
    }
    out = {LogLayout::S3, true, Value(referrer), Value(agent)};
    return true;
}

}  // namespace

bool ReadCombined(std::string_view line, LineFields& out) {
    // The bracketed time follows two fields (bucket owner and bucket),
    // three (host, ident, user) or four (a virtual host first), each
    // followed by one space. One walk finds it and counts them.
    int fields = 0;
    std::size_t date = 0;
    for (; date < line.size() && line[date] != '['; ++date) {
        if (line[date] == ' ') {
            if (date == 0 || line[date - 1] == ' ' || ++fields > 4) {
                return false;
            }
        }
    }
    if (fields < 2 || date == line.size() || line[date - 1] != ' ') {
        return false;
    }
    Cursor c(line, date);
    if (!c.date() || !c.space()) {
        return false;
    }
    if (fields == 2) {
        return ReadS3(c, out);
    }
    std::string_view request;
    if (!c.quoted(request) || !c.space() || !c.status(false) || !c.space() || !c.number(true)) {
        return false;
    }
    if (c.atBlankEnd()) {
        out = {LogLayout::Common, false, {}, {}};
        return true;
    }
    std::string_view referrer, agent;
    if (!c.space() || !c.quoted(referrer) || !ReadAgent(c, agent)) {
        return false;
    }
    out = {fields == 3 ? LogLayout::Combined : LogLayout::VhostCombined, true, Value(referrer),
           Value(agent)};
    return true;
}

}  // namespace tallowby
