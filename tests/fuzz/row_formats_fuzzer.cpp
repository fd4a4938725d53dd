// The CSV and JSON forms of results rows on arbitrary cell bytes: CSV read
// back by an independent reader gives the same cells, byte for byte; JSON
// strings are well-formed UTF-8 without raw control bytes, decode to valid
// UTF-8, and give back every cell that was valid UTF-8 to begin with.
//
// Input: up to eight rows of three cells, each cell a length byte and bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "output/RowFormats.h"

namespace {

using namespace tallowby;
using Cells = std::vector<std::string>;

// RFC 4180 with LF record ends: quoted fields may hold anything, "" is a quote.
bool ParseCsv(std::string_view text, std::vector<Cells>& records) {
    std::size_t i = 0;
    while (i < text.size()) {
        Cells record;
        for (;;) {
            std::string cell;
            if (i < text.size() && text[i] == '"') {
                ++i;
                for (;;) {
                    if (i >= text.size())
                        return false;  // unclosed quote
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            cell += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    cell += text[i++];
                }
            } else {
                while (i < text.size() && text[i] != ',' && text[i] != '\n') {
                    if (text[i] == '"' || text[i] == '\r')
                        return false;  // must have been quoted
                    cell += text[i++];
                }
            }
            record.push_back(cell);
            if (i >= text.size())
                return false;  // every record ends with LF
            if (text[i] == ',') {
                ++i;
                continue;
            }
            if (text[i] != '\n')
                return false;
            ++i;
            break;
        }
        records.push_back(record);
    }
    return true;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Valid UTF-8, decided by decoding each sequence to its code point and
// checking that the shortest encoding of that code point is what stood there.
bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const std::size_t n = lead < 0x80    ? 1
                              : lead >= 0xF0 ? 4
                              : lead >= 0xE0 ? 3
                              : lead >= 0xC0 ? 2
                                             : 0;
        if (n == 0 || i + n > s.size())
            return false;
        std::uint32_t cp = n == 1 ? lead : lead & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        std::string again;
        AppendUtf8(again, cp);
        if (again != s.substr(i, n))
            return false;  // overlong
        i += n;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Decodes one JSON string (quotes included) that must fill `text` exactly.
bool DecodeJsonString(std::string_view text, std::string& value) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"')
        return false;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) < 0x20 || c == '"')
            return false;
        if (c != '\\') {
            value += c;
            continue;
        }
        if (++i + 1 >= text.size())
            return false;
        switch (text[i]) {
            case '"':
                value += '"';
                break;
            case '\\':
                value += '\\';
                break;
            case '/':
                value += '/';
                break;
            case 'b':
                value += '\b';
                break;
            case 'f':
                value += '\f';
                break;
            case 'n':
                value += '\n';
                break;
            case 'r':
                value += '\r';
                break;
            case 't':
                value += '\t';
                break;
            case 'u': {
                if (i + 5 >= text.size())
                    return false;
                std::uint32_t cp = 0;
                for (int k = 1; k <= 4; ++k) {
                    const int d = HexDigit(text[i + k]);
                    if (d < 0)
                        return false;
                    cp = cp * 16 + static_cast<std::uint32_t>(d);
                }
                if (cp >= 0xD800 && cp <= 0xDFFF)
                    return false;  // never needed: no pairs written
                AppendUtf8(value, cp);
                i += 4;
                break;
            }
            default:
                return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::size_t count = in.byte() % 9;
    std::vector<ReferrerEntry> rows(count);
    for (ReferrerEntry& row : rows) {
        row.typeCode = std::string(in.piece(8));
        row.clicks = std::string(in.piece(12));
        row.referrer = std::string(in.piece(255));
    }
    if (!rows.empty())
        rows.back().referrer += std::string(in.rest());

    std::string csv;
    AppendCsvHeader(csv);
    for (const ReferrerEntry& row : rows)
        AppendCsvRow(csv, row);
    std::vector<Cells> records;
    FUZZ_CHECK(ParseCsv(csv, records));
    FUZZ_CHECK(records.size() == rows.size() + 1);
    FUZZ_CHECK((records[0] == Cells{"Type", "Clicks", "Referrer"}));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        FUZZ_CHECK((records[r + 1] == Cells{rows[r].typeCode, rows[r].clicks, rows[r].referrer}));
    }

    for (const ReferrerEntry& row : rows) {
        for (const std::string* cell : {&row.typeCode, &row.clicks, &row.referrer}) {
            std::string json = "prefix";
            AppendJsonString(json, *cell);
            FUZZ_CHECK(json.compare(0, 6, "prefix") == 0);
            const std::string_view written = std::string_view(json).substr(6);
            FUZZ_CHECK(IsValidUtf8(written));
            std::string value;
            FUZZ_CHECK(DecodeJsonString(written, value));
            FUZZ_CHECK(IsValidUtf8(value));
            if (IsValidUtf8(*cell)) {
                FUZZ_CHECK(value == *cell);
            } else {
                FUZZ_CHECK(value.find("\xEF\xBF\xBD") != std::string::npos);
            }
        }
    }
    return 0;
}
