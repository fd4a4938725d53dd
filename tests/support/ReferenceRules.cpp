#include "ReferenceRules.h"

#include <algorithm>

namespace tallowby::testing {

namespace {

constexpr std::size_t npos = std::string_view::npos;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool Same(std::string_view a, std::string_view b, bool ignoreCase) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ignoreCase ? Lower(a[i]) != Lower(b[i]) : a[i] != b[i])
            return false;
    }
    return true;
}

// Calls `line(start, length)` for every line of `text`.
template <typename Fn>
void ForEachLine(std::string_view text, Fn line) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            line(start, i - start);
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < text.size())
        line(start, text.size() - start);
}

bool EndsWithLineEnd(std::string_view text) {
    return !text.empty() && (text.back() == '\r' || text.back() == '\n');
}

}  // namespace

std::vector<std::string> SplitLines(std::string_view text, bool complete) {
    std::vector<std::string> lines;
    ForEachLine(text, [&](std::size_t start, std::size_t length) {
        lines.emplace_back(text.substr(start, length));
    });
    if (complete && !EndsWithLineEnd(text) && !lines.empty())
        lines.pop_back();
    return lines;
}

std::int64_t CountLines(std::string_view text) {
    std::int64_t n = 0;
    ForEachLine(text, [&](std::size_t, std::size_t) { ++n; });
    return n;
}

std::vector<std::size_t> LineStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    ForEachLine(text, [&](std::size_t start, std::size_t) { starts.push_back(start); });
    return starts;
}

std::string Lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = Lower(c);
    return out;
}

std::size_t ReferenceFind(std::string_view haystack, std::string_view needle) {
    for (std::size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
        if (Same(haystack.substr(i, needle.size()), needle, true))
            return i;
    }
    return npos;
}

std::string DeleteAll(std::string_view text, std::string_view part, bool ignoreCase) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (!part.empty() && Same(text.substr(i, part.size()), part, ignoreCase)) {
            i += part.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::size_t ReferenceAddress(std::string_view line, const ReferrerRules& rules) {
    const std::size_t http = ReferenceFind(line, "http://");
    return rules.https ? std::min(http, ReferenceFind(line, "https://")) : http;
}

bool ReferenceHasReferrer(std::string_view line, std::string_view domain,
                          const ReferrerRules& rules) {
    return ReferenceAddress(line, rules) != npos && ReferenceFind(line, domain) == npos;
}

ReferenceCut ReferenceCutOf(std::string_view line, const ReferrerRules& rules) {
    ReferenceCut cut;
    const std::size_t at = ReferenceAddress(line, rules);
    if (at == npos)
        return cut;
    cut.position = at;
    if (rules.quoted && at > 0 && line[at - 1] == '"') {
        for (std::size_t q = at + 1; q < line.size(); ++q) {
            if (line[q] == '"' && line[q - 1] != '\\') {
                cut.length = q - at;
                return cut;
            }
        }
    }
    const std::size_t paren = line.find(')', at);
    const std::size_t space = line.find(' ', at);
    if (paren != npos) {
        cut.length = paren - at;
        long depth = 0;
        for (std::size_t i = 0; i < at; ++i)
            depth += (line[i] == '(') - (line[i] == ')');
        cut.bot = depth > 0;
    } else if (space != npos) {
        cut.length = space - at + 1;
    } else {
        cut.length = line.size() - at;
    }
    return cut;
}

ReferenceExtraction ReferenceExtract(std::string_view line, const ReferrerRules& rules) {
    ReferenceExtraction e;
    const ReferenceCut cut = ReferenceCutOf(line, rules);
    if (cut.position == npos) {
        e.remainder = std::string(line);
        return e;
    }
    e.referrer = std::string(line.substr(cut.position, cut.length));
    e.remainder = DeleteAll(line, e.referrer);
    e.bot = cut.bot;
    return e;
}

TypeCode ReferenceTypeCode(std::string_view remainder) {
    struct Row {
        const char* patterns[2];
        TypeCode code;
    };
    static const Row rows[] = {
        {{".jpeg", ".jpg"}, TypeCode::JPG}, {{".zip"}, TypeCode::ZIP},
        {{".msi"}, TypeCode::MSI},          {{".gif"}, TypeCode::GIF},
        {{".asp"}, TypeCode::ASP},          {{".php"}, TypeCode::PHP},
        {{".png"}, TypeCode::PNG},          {{".pdf"}, TypeCode::PDF},
        {{".tar"}, TypeCode::TAR},          {{".txt"}, TypeCode::TXT},
        {{".aiff", ".aif"}, TypeCode::AIF}, {{".avi"}, TypeCode::AVI},
        {{".mov"}, TypeCode::MOV},          {{".mp3"}, TypeCode::MP3},
        {{".mpeg", ".mpg"}, TypeCode::MPG}, {{".rm"}, TypeCode::RM},
        {{".swf"}, TypeCode::SWF},          {{".wav"}, TypeCode::WAV},
        {{".wmf"}, TypeCode::WMF},          {{".eps"}, TypeCode::EPS},
        {{".ppt"}, TypeCode::PPT},          {{".psd"}, TypeCode::PSD},
        {{".pict", ".pct"}, TypeCode::PCT}, {{".tiff", ".tif"}, TypeCode::TIF},
        {{".rtf"}, TypeCode::RTF},          {{".sea"}, TypeCode::SEA},
        {{".sit"}, TypeCode::SIT},          {{".smil", ".sml"}, TypeCode::SML},
        {{".svg"}, TypeCode::SVG},          {{".xls"}, TypeCode::XLS},
        {{".exe"}, TypeCode::EXE},
    };
    const std::string folded = Lowered(remainder);
    for (const Row& row : rows) {
        for (const char* p : row.patterns) {
            if (p && folded.find(p) != npos)
                return row.code;
        }
    }
    return TypeCode::HTM;
}

std::string ReferenceStripTags(std::string_view text) {
    std::string s(text);
    for (const char* tag : {"[img]", "[zip]", "[exe]", "[htm]", "[bot]"})
        s = DeleteAll(s, tag, true);
    if (const std::size_t space = s.find(' '); space != npos)
        s.erase(space, 1);
    return s;
}

}  // namespace tallowby::testing
