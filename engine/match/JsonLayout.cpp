#include "JsonLayout.h"

#include <cstdint>
#include <cstring>

namespace tallowby {
namespace {

namespace ondemand = simdjson::ondemand;

enum class Key { Other, Referrer, Agent, Request };

// The top-level keys read, as the servers' JSON logs name them.
Key KeyOf(std::string_view key) {
    static constexpr struct {
        std::string_view name;
        Key key;
    } kKeys[] = {
        {"referer", Key::Referrer},         {"referrer", Key::Referrer},
        {"http_referer", Key::Referrer},    {"http_referrer", Key::Referrer},
        {"request_Referer", Key::Referrer}, {"Referer", Key::Referrer},
        {"cs-referer", Key::Referrer},      {"user_agent", Key::Agent},
        {"http_user_agent", Key::Agent},    {"request_User-Agent", Key::Agent},
        {"request", Key::Request},  // an object holding "headers" in one server's logs
    };
    for (const auto& k : kKeys) {
        if (key == k.name) {
            return k.key;
        }
    }
    return Key::Other;
}

// A field's key as written between its quotes when it holds no escape;
// otherwise decoded by the parser. False when the parser rejects it.
// The key is read eight bytes at a time: the parser has found its closing
// quote, and the copy's padding lies beyond the line's last byte.
bool KeyText(ondemand::field& field, std::string_view& key) {
    const char* s = field.key().raw();
    constexpr std::uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;
    for (std::size_t n = 0;; n += 8) {
        std::uint64_t w;
        std::memcpy(&w, s + n, sizeof w);
        const std::uint64_t quote = w ^ (kOnes * '"'), backslash = w ^ (kOnes * '\\');
        const std::uint64_t hit =
            ((quote - kOnes) & ~quote & kHighs) | ((backslash - kOnes) & ~backslash & kHighs);
        if (hit) {
            const std::size_t at = n + static_cast<std::size_t>(__builtin_ctzll(hit)) / 8;
            if (s[at] == '"') {
                key = {s, at};
                return true;
            }
            return !field.unescaped_key().get(key);
        }
    }
}

// `value` decoded when it is a string; other values leave `out` as it is.
// False when the parser rejects the value.
bool ReadString(ondemand::value& value, std::string_view& out) {
    ondemand::json_type type;
    if (value.type().get(type)) {
        return false;
    }
    return type != ondemand::json_type::string || !value.get_string().get(out);
}

// The first element of an array of strings (a header's values).
bool ReadFirstString(ondemand::value& value, std::string_view& out) {
    ondemand::json_type type;
    ondemand::array array;
    if (value.type().get(type)) {
        return false;
    }
    if (type != ondemand::json_type::array) {
        return true;
    }
    if (value.get_array().get(array)) {
        return false;
    }
    for (auto item : array) {
        ondemand::value first;
        return !std::move(item).get(first) && ReadString(first, out);
    }
    return true;
}

// What has been read of a line: the first referrer and user agent met win.
struct Found {
    LineFields fields;
    bool agent = false;
};

// The request's headers as one server logs them: {"headers": {"Referer":
// [...], "User-Agent": [...]}, ...}.
bool ReadRequest(ondemand::value& value, Found& found) {
    ondemand::json_type type;
    if (value.type().get(type)) {
        return false;
    }
    ondemand::object request;
    if (type != ondemand::json_type::object) {
        return true;
    }
    if (value.get_object().get(request)) {
        return false;
    }
    for (auto item : request) {
        ondemand::field field;
        std::string_view key;
        if (std::move(item).get(field) || !KeyText(field, key)) {
            return false;
        }
        ondemand::object headers;
        if (key != "headers" || field.value().type().get(type) ||
            type != ondemand::json_type::object) {
            continue;
        }
        if (field.value().get_object().get(headers)) {
            return false;
        }
        for (auto header : headers) {
            ondemand::field h;
            if (std::move(header).get(h) || !KeyText(h, key)) {
                return false;
            }
            if (key == "Referer" && !found.fields.referrerField) {
                found.fields.referrerField = true;
                if (!ReadFirstString(h.value(), found.fields.referrer)) {
                    return false;
                }
            } else if (key == "User-Agent" && !found.agent) {
                found.agent = true;
                if (!ReadFirstString(h.value(), found.fields.userAgent)) {
                    return false;
                }
            }
        }
    }
    return true;
}

// Bytes 0x80 to 0xFF of a line that is not UTF-8 stand for themselves as
// the characters U+F780 to U+F7FF (three bytes each) while it is parsed.
constexpr unsigned char kMapLead = 0xEF;
bool IsMapped(const unsigned char* s) {
    return s[0] == kMapLead && (s[1] == 0x9E || s[1] == 0x9F) && (s[2] & 0xC0) == 0x80;
}

std::string_view Value(std::string_view v) {
    return v == "-" ? std::string_view{} : v;
}

}  // namespace

void JsonLayout::copy(std::string_view text, bool mapBytes) {
    const std::size_t most = mapBytes ? 3 * text.size() : text.size();
    if (padded_.size() < most + simdjson::SIMDJSON_PADDING) {
        padded_.resize(most + simdjson::SIMDJSON_PADDING);
    }
    if (!mapBytes) {
        std::memcpy(padded_.data(), text.data(), text.size());
        return;
    }
    char* to = padded_.data();
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            *to++ = c;
            continue;
        }
        *to++ = static_cast<char>(kMapLead);
        *to++ = static_cast<char>(b < 0xC0 ? 0x9E : 0x9F);
        *to++ = static_cast<char>(0x80 | (b & 0x3F));
    }
    padded_.resize(std::max(padded_.size(), static_cast<std::size_t>(to - padded_.data()) +
                                                simdjson::SIMDJSON_PADDING));
}

std::string_view JsonLayout::unmapped(std::string_view decoded, std::string& into) {
    if (decoded.find(static_cast<char>(kMapLead)) == std::string_view::npos) {
        return decoded;
    }
    into.clear();
    const auto* s = reinterpret_cast<const unsigned char*>(decoded.data());
    for (std::size_t i = 0; i < decoded.size();) {
        if (i + 2 < decoded.size() && IsMapped(s + i)) {
            into += static_cast<char>((s[i + 1] == 0x9F ? 0xC0 : 0x80) | (s[i + 2] & 0x3F));
            i += 3;
        } else {
            into += decoded[i++];
        }
    }
    return into;
}

JsonLayout::JsonLayout() : parser_(FieldReader::kMaxJsonLine) {}

bool JsonLayout::read(std::string_view text, LineFields& out) {
    if (text.size() > FieldReader::kMaxJsonLine) {
        return false;
    }
    copy(text, false);
    const Parse first = parse(text.size(), false, out);
    if (first != Parse::NotUtf8) {
        return first == Parse::Read;
    }
    std::size_t size = 0;
    for (char c : text) {
        size += static_cast<unsigned char>(c) < 0x80 ? 1 : 3;
    }
    if (size > FieldReader::kMaxJsonLine) {
        return false;
    }
    copy(text, true);
    return parse(size, true, out) == Parse::Read;
}

JsonLayout::Parse JsonLayout::parse(std::size_t size, bool bytesMapped, LineFields& out) {
    ondemand::document doc;
    ondemand::object object;
    const simdjson::error_code error =
        parser_.iterate(padded_.data(), size, padded_.size()).get(doc);
    if (error) {
        return error == simdjson::UTF8_ERROR ? Parse::NotUtf8 : Parse::Rejected;
    }
    if (doc.get_object().get(object)) {
        return Parse::Rejected;
    }
    Found found;
    found.fields.layout = LogLayout::Json;
    for (auto item : object) {
        ondemand::field field;
        std::string_view key;
        if (std::move(item).get(field) || !KeyText(field, key)) {
            return Parse::Rejected;
        }
        bool ok = true;
        switch (KeyOf(key)) {
            case Key::Referrer:
                if (!found.fields.referrerField) {
                    found.fields.referrerField = true;
                    ok = ReadString(field.value(), found.fields.referrer);
                }
                break;
            case Key::Agent:
                if (!found.agent) {
                    found.agent = true;
                    ok = ReadString(field.value(), found.fields.userAgent);
                }
                break;
            case Key::Request:
                ok = ReadRequest(field.value(), found);
                break;
            case Key::Other:
                break;
        }
        if (!ok) {
            return Parse::Rejected;
        }
    }
    // Text after the object: the parser can still point at it.
    const char* after = nullptr;
    if (doc.current_location().get(after) == simdjson::SUCCESS) {
        return Parse::Rejected;
    }
    LineFields& f = found.fields;
    if (bytesMapped) {
        f.referrer = unmapped(f.referrer, referrer_);
        f.userAgent = unmapped(f.userAgent, agent_);
    }
    f.referrer = Value(f.referrer);
    f.userAgent = Value(f.userAgent);
    out = f;
    return Parse::Read;
}

}  // namespace tallowby
