#include "SearchKeyword.h"

#include <iconv.h>
#include <re2/re2.h>

#include <cerrno>
#include <unordered_map>

#include "engine/match/ShownText.h"  // Utf8Sequence
#include "engine/match/TextFold.h"

namespace tallowby {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const unsigned char folded = FoldByte(static_cast<unsigned char>(c));
    return folded >= 'a' && folded <= 'f' ? folded - 'a' + 10 : -1;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        std::size_t invalid = 0;
        const std::size_t n = Utf8Sequence(text.substr(i), invalid);
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

std::string WithReplacements(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            out += text[i++];
            continue;
        }
        std::size_t invalid = 0;
        const std::size_t n = Utf8Sequence(text.substr(i), invalid);
        if (n > 0) {
            out.append(text, i, n);
            i += n;
        } else {
            out += kReplacement;
            i += invalid;
        }
    }
    return out;
}

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsUtf8Name(const std::string& charset) {
    return EqualsIgnoringCase(charset, "utf-8") || EqualsIgnoringCase(charset, "utf8");
}

// The value of the first "name=value" pair of `query` with that name and a value.
std::string_view QueryValue(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        const std::size_t eq = pair.find('=');
        if (eq != std::string_view::npos && eq + 1 < pair.size() && pair.substr(0, eq) == name) {
            return pair.substr(eq + 1);
        }
    }
    return {};
}

}  // namespace

struct KeywordReader::Converters {
    std::unordered_map<std::string, iconv_t> open;  // (iconv_t)-1: unknown set
    ~Converters() {
        for (const auto& [name, cd] : open) {
            if (cd != reinterpret_cast<iconv_t>(-1)) {
                iconv_close(cd);
            }
        }
    }
};

KeywordReader::KeywordReader() : converters_(std::make_unique<Converters>()) {}
KeywordReader::~KeywordReader() = default;

bool KeywordReader::convert(const std::string& charset, std::string_view bytes, std::string& out) {
    auto [it, added] = converters_->open.try_emplace(charset, reinterpret_cast<iconv_t>(-1));
    if (added) {
        it->second = iconv_open("UTF-8", charset.c_str());
    }
    const iconv_t cd = it->second;
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // a fresh start
    std::string in(bytes);
    char* from = in.data();
    std::size_t left = in.size();
    out.assign(in.size() * 4 + 16, '\0');  // no set takes more than 4 bytes a byte in UTF-8
    char* to = out.data();
    std::size_t room = out.size();
    if (iconv(cd, &from, &left, &to, &room) == static_cast<std::size_t>(-1) ||
        iconv(cd, nullptr, nullptr, &to, &room) == static_cast<std::size_t>(-1)) {
        return false;
    }
    out.resize(out.size() - room);
    return IsUtf8(out);
}

std::string KeywordReader::keyword(std::string_view value,
                                   const std::vector<std::string>& charsets) {
    std::string bytes;
    bytes.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '+') {
            bytes += ' ';
        } else if (value[i] == '%' && i + 2 < value.size() && HexValue(value[i + 1]) >= 0 &&
                   HexValue(value[i + 2]) >= 0) {
            bytes += static_cast<char>(HexValue(value[i + 1]) * 16 + HexValue(value[i + 2]));
            i += 2;
        } else {
            bytes += value[i];
        }
    }
    std::string text;
    bool read = IsUtf8(bytes);
    if (read) {
        text = std::move(bytes);
    }
    for (std::size_t i = 0; !read && i < charsets.size(); ++i) {
        read = !IsUtf8Name(charsets[i]) && convert(charsets[i], bytes, text);
    }
    if (!read) {
        text = WithReplacements(bytes);
    }
    std::string out;
    out.reserve(text.size());
    bool space = false;
    for (const char c : text) {
        if (IsWhiteSpace(c)) {
            space = !out.empty();
            continue;
        }
        if (space) {
            out += ' ';
            space = false;
        }
        out += static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string KeywordReader::keywordOf(std::string_view pathAndQuery, const SearchConfig& config) {
    const std::size_t question = pathAndQuery.find('?');
    const std::string_view query =
        question == std::string_view::npos ? std::string_view() : pathAndQuery.substr(question + 1);
    for (const KeywordParam& param : config.params) {
        std::string found;
        if (param.pattern == nullptr) {
            const std::string_view value = QueryValue(query, param.name);
            if (value.empty()) {
                continue;
            }
            found = keyword(value, config.charsets);
        } else {
            std::string group;
            if (param.pattern->NumberOfCapturingGroups() < 1 ||
                !RE2::PartialMatch(re2::StringPiece(pathAndQuery.data(), pathAndQuery.size()),
                                   *param.pattern, &group)) {
                continue;
            }
            found = keyword(group, config.charsets);
        }
        if (!found.empty()) {
            return found;
        }
    }
    return {};
}

}  // namespace tallowby
