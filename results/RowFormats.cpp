#include "RowFormats.h"

#include <charconv>
#include <cstdint>
#include <cstring>

namespace tallowby {

namespace {

void AppendNumber(std::string& out, std::int64_t value) {
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

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

// memchr once per special byte: far faster than find_first_of's byte loop.
bool NeedsQuotes(std::string_view field) {
    for (char c : {'"', ',', '\n', '\r'}) {
        if (std::memchr(field.data(), c, field.size()) != nullptr) {
            return true;
        }
    }
    return false;
}

}  // namespace

void AppendCsvHeader(std::string& out) {
    out += "Type,Clicks,Referrer\n";
}

void AppendCsvField(TextOutput& out, std::string_view field) {
    if (!NeedsQuotes(field)) {
        out.write(field);
        return;
    }
    out.buffer() += '"';
    // Copy the runs between quotes whole; each quote is written twice.
    std::size_t from = 0;
    for (std::size_t quote; (quote = field.find('"', from)) != std::string_view::npos;
         from = quote + 1) {
        out.write(field.substr(from, quote + 1 - from));
        out.buffer() += '"';
    }
    out.write(field.substr(from));
    out.buffer() += '"';
}

void AppendCsvField(std::string& out, std::string_view field) {
    TextOutput text(out);
    AppendCsvField(text, field);
}

void AppendCsvRow(TextOutput& out, const ReferrerEntry& row) {
    AppendCsvField(out, row.typeCode);
    out.buffer() += ',';
    AppendCsvField(out, row.clicks);
    out.buffer() += ',';
    AppendCsvField(out, row.referrer);
    out.buffer() += '\n';
    out.spill();
}

void AppendCsvRow(std::string& out, const ReferrerEntry& row) {
    TextOutput text(out);
    AppendCsvRow(text, row);
}

void AppendJsonString(TextOutput& output, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    // The escaped text goes on in blocks of input, each handed on before
    // the next: a long cell never stands escaped whole in memory.
    constexpr std::size_t kBlock = 1 << 14;
    std::string& out = output.buffer();
    out += '"';
    std::size_t i = 0;
    std::size_t blockEnd = 0;
    while (i < text.size()) {
        if (i >= blockEnd) {
            output.spill();
            blockEnd = i + kBlock;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            std::size_t invalid = 0;
            const std::size_t n = Utf8Sequence(text.substr(i), invalid);
            if (n > 0) {
                out.append(text, i, n);
                i += n;
            } else {
                out += kReplacement;
                i += invalid;
            }
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    out += "\\u00";
                    out += kHex[c >> 4];
                    out += kHex[c & 15];
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    out += '"';
    output.spill();
}

void AppendJsonString(std::string& out, std::string_view text) {
    TextOutput output(out);
    AppendJsonString(output, text);
}

void JsonResultsWriter::begin() {
    out_.buffer() += "{\"rows\":[";
    first_ = true;
}

void JsonResultsWriter::row(const ReferrerEntry& row) {
    out_.buffer() += first_ ? "{\"type\":" : ",{\"type\":";
    first_ = false;
    AppendJsonString(out_, row.typeCode);
    out_.buffer() += ",\"clicks\":";
    AppendJsonString(out_, row.clicks);
    out_.buffer() += ",\"referrer\":";
    AppendJsonString(out_, row.referrer);
    out_.buffer() += '}';
}

void JsonResultsWriter::end(const ScanCounters& c) {
    std::string& out = out_.buffer();
    out += "],\"stats\":{\"filesDone\":";
    AppendNumber(out, c.filesDone);
    out += ",\"linesScanned\":";
    AppendNumber(out, c.linesScanned);
    out += ",\"linksFound\":";
    AppendNumber(out, c.linksFound);
    out += ",\"duplicatesRemoved\":";
    AppendNumber(out, c.duplicatesRemoved);
    out += ",\"uniqueLinks\":";
    AppendNumber(out, c.uniqueLinks());
    out += "}}\n";
    out_.spill();
}

}  // namespace tallowby
