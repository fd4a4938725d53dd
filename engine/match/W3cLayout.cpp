#include "W3cLayout.h"

#include <cstring>

namespace tallowby {
namespace {

bool IsLetter(char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i], y = b[i];
        if (x != y && !(IsLetter(x) && (x | 0x20) == (y | 0x20))) {
            return false;
        }
    }
    return true;
}

bool IsAnyOf(std::string_view name, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names) {
        if (SameLetters(name, n)) {
            return true;
        }
    }
    return false;
}

std::string_view Value(std::string_view field) {
    return field == "-" ? std::string_view{} : field;
}

}  // namespace

bool IsW3cDirective(std::string_view line) {
    std::size_t i = 1;
    while (i < line.size() && (IsLetter(line[i]) || line[i] == '-')) {
        ++i;
    }
    return !line.empty() && line[0] == '#' && i > 1 && i < line.size() && line[i] == ':';
}

std::optional<W3cFields> W3cFields::FromDirective(std::string_view line) {
    static constexpr std::string_view kFields = "#Fields:";
    if (line.substr(0, kFields.size()) != kFields) {
        return std::nullopt;
    }
    W3cFields fields;
    std::string_view rest = line.substr(kFields.size());
    for (;;) {
        const std::size_t start = rest.find_first_not_of(" \t");
        if (start == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(start);
        const std::size_t end = std::min(rest.find_first_of(" \t"), rest.size());
        const std::string_view name = rest.substr(0, end);
        const auto index = static_cast<std::int32_t>(fields.count);
        if (fields.referrer < 0 &&
            IsAnyOf(name, {"cs(Referer)", "cs(Referrer)", "cs-referer", "cs-referrer"})) {
            fields.referrer = index;
        }
        if (fields.userAgent < 0 && IsAnyOf(name, {"cs(User-Agent)", "cs-user-agent"})) {
            fields.userAgent = index;
        }
        ++fields.count;
        rest.remove_prefix(end);
    }
    return fields;
}

bool ReadW3c(std::string_view line, const W3cFields& fields, LineFields& out) {
    const char separator = std::memchr(line.data(), '\t', line.size()) ? '\t' : ' ';
    std::string_view referrer, agent;
    std::uint32_t index = 0;
    for (std::size_t at = 0;; ++index) {
        if (index >= fields.count) {
            return false;
        }
        std::string_view value;
        std::size_t end;
        if (at < line.size() && line[at] == '"') {
            std::size_t close = at;
            do {
                close = line.find('"', close + 1);
                if (close == std::string_view::npos) {
                    return false;
                }
            } while (close + 1 < line.size() && line[close + 1] != separator);
            value = line.substr(at + 1, close - at - 1);
            end = close + 1;
        } else {
            end = std::min(line.find(separator, at), line.size());
            value = line.substr(at, end - at);
        }
        if (static_cast<std::int32_t>(index) == fields.referrer) {
            referrer = value;
        }
        if (static_cast<std::int32_t>(index) == fields.userAgent) {
            agent = value;
        }
        if (end == line.size()) {
            break;
        }
        at = end + 1;
    }
    if (index + 1 != fields.count) {
        return false;
    }
    out = {LogLayout::W3c, fields.referrer >= 0, Value(referrer), Value(agent)};
    return true;
}

}  // namespace tallowby
