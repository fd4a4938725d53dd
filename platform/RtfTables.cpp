#include "RtfTables.h"

#include <array>
#include <string_view>

namespace tallowby::rtf {

char16_t FromCp1252(unsigned char byte) {
    static constexpr std::array<char16_t, 32> kHigh = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
    };
    if (byte >= 0x80 && byte <= 0x9F) {
        return kHigh[byte - 0x80];
    }
    return byte;  // the rest of Windows-1252 is Latin-1
}

bool IsSkippedDestination(QByteArrayView word) {
    static constexpr std::array<std::string_view, 34> kSkipped = {
        "author",
        "buptim",
        "colorschememapping",
        "comment",
        "creatim",
        "datastore",
        "doccomm",
        "fldinst",
        "filetbl",
        "footer",
        "footerf",
        "footerl",
        "footerr",
        "footnote",
        "header",
        "headerf",
        "headerl",
        "headerr",
        "info",
        "keywords",
        "latentstyles",
        "listtable",
        "listoverridetable",
        "object",
        "operator",
        "pict",
        "printim",
        "revtbl",
        "revtim",
        "rsidtbl",
        "stylesheet",
        "subject",
        "themedata",
        "xmlnstbl",
    };
    const std::string_view w(word.data(), static_cast<std::size_t>(word.size()));
    for (std::string_view s : kSkipped) {
        if (s == w) {
            return true;
        }
    }
    return false;
}

char16_t SymbolCharacter(QByteArrayView word) {
    struct Symbol {
        std::string_view word;
        char16_t character;
    };
    static constexpr std::array<Symbol, 12> kSymbols = {{
        {"bullet", 0x2022},
        {"emdash", 0x2014},
        {"endash", 0x2013},
        {"emspace", 0x2003},
        {"enspace", 0x2002},
        {"qmspace", 0x2005},
        {"lquote", 0x2018},
        {"rquote", 0x2019},
        {"ldblquote", 0x201C},
        {"rdblquote", 0x201D},
        {"zwj", 0x200D},
        {"zwnj", 0x200C},
    }};
    const std::string_view w(word.data(), static_cast<std::size_t>(word.size()));
    for (const Symbol& s : kSymbols) {
        if (s.word == w) {
            return s.character;
        }
    }
    return 0;
}

}  // namespace tallowby::rtf
