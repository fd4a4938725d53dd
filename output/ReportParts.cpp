#include "ReportParts.h"

#include <algorithm>

#include "engine/match/ShownText.h"
#include "engine/tally/Numbers.h"

namespace tallowby {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// A byte that stands for itself in the page: printable ASCII but markup.
bool IsPlain(unsigned char c) {
    return c >= 0x20 && c < 0x7F && c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
}

// What an ASCII byte that is not plain becomes.
std::string_view AsciiReplacement(char c) {
    switch (c) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        case '\'':
            return "&#39;";
        case '\t':
            return "\t";
        case '\n':
            return "\n";
        case '\r':
            return "\r";
        default:
            return kReplacement;  // the other C0 controls and DEL
    }
}

// Labels longer than this are cut in the chart (whole in its tooltip).
constexpr std::size_t kLabelBytes = 40;

// The chart's geometry, in SVG user units.
constexpr int kChartWidth = 720;
constexpr int kLabelRight = 252;  // labels end here
constexpr int kBarLeft = 260;
constexpr int kBarLongest = 380;  // leaves room for the figure beyond the bar
constexpr int kRowHeight = 24;
constexpr int kBarHeight = 16;
constexpr int kTextBaseline = 12;  // within a bar's row

}  // namespace

void AppendReportText(TextOutput& output, std::string_view text) {
    // In blocks of input, each handed on before the next: a long cell never
    // stands escaped whole in memory.
    constexpr std::size_t kBlock = 1 << 14;
    std::string& out = output.buffer();
    std::size_t i = 0;
    std::size_t blockEnd = 0;
    while (i < text.size()) {
        if (i >= blockEnd) {
            output.spill();
            blockEnd = i + kBlock;
        }
        const std::size_t runEnd = std::min(text.size(), blockEnd);
        std::size_t run = i;
        while (run < runEnd && IsPlain(static_cast<unsigned char>(text[run]))) {
            ++run;
        }
        out.append(text.substr(i, run - i));
        i = run;
        if (i >= runEnd) {
            continue;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += AsciiReplacement(text[i]);
            ++i;
            continue;
        }
        std::size_t invalid = 0;
        const std::size_t length = Utf8Sequence(text.substr(i), invalid);
        if (length == 0) {
            out += kReplacement;
            i += invalid;
        } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            out += kReplacement;  // a C1 control, U+0080..U+009F
            i += length;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    output.spill();
}

void AppendReportText(std::string& out, std::string_view text) {
    TextOutput output(out);
    AppendReportText(output, text);
}

void AppendShare(std::string& out, std::int64_t part, std::int64_t whole) {
    std::int64_t tenths = 0;
    if (whole > 0 && part > 0) {
        // Tenths of a percent: part * 1000 / whole, rounded half up, without
        // multiplying `part` itself.
        const std::int64_t quotient = part / whole;
        const std::int64_t rest = part % whole;
        tenths = quotient * 1000 + (rest * 2000 + whole) / (2 * whole);
    }
    AppendNumber(out, tenths / 10);
    out += '.';
    out += static_cast<char>('0' + tenths % 10);
    out += '%';
}

void AppendTableStart(TextOutput& out, std::string_view id,
                      const std::vector<ReportColumn>& columns, std::size_t sortedBy) {
    std::string& s = out.buffer();
    s += "<table id=\"";
    AppendReportText(out, id);
    s += "\" class=\"sortable\">\n<thead><tr>";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const ReportColumn& column = columns[i];
        s += "<th scope=\"col\"";
        if (column.number) {
            s += " class=\"num\"";
        }
        if (i == sortedBy) {
            s += column.number ? " aria-sort=\"descending\"" : " aria-sort=\"ascending\"";
        }
        s += '>';
        AppendReportText(out, column.heading);
        s += "</th>";
    }
    s += "</tr></thead>\n<tbody>\n";
    out.spill();
}

void AppendTableEnd(TextOutput& out) {
    out.buffer() += "</tbody>\n</table>\n";
    out.spill();
}

void AppendBarChart(TextOutput& out, std::string_view title, const std::vector<ChartBar>& bars) {
    if (bars.empty()) {
        return;
    }
    std::int64_t largest = 0;
    for (const ChartBar& bar : bars) {
        largest = std::max(largest, bar.value);
    }
    const auto height = static_cast<std::int64_t>(bars.size()) * kRowHeight + kRowHeight / 2;
    std::string& s = out.buffer();
    s += "<svg class=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" viewBox=\"0 0 ";
    AppendNumber(s, kChartWidth);
    s += ' ';
    AppendNumber(s, height);
    s += "\" width=\"";
    AppendNumber(s, kChartWidth);
    s += "\" height=\"";
    AppendNumber(s, height);
    s += "\"><title>";
    AppendReportText(out, title);
    s += "</title>\n";
    std::int64_t top = kRowHeight / 4;
    for (const ChartBar& bar : bars) {
        const std::int64_t length =
            largest > 0 && bar.value > 0
                ? std::max<std::int64_t>(1, bar.value * kBarLongest / largest)
                : 0;
        std::string_view shown = bar.label;
        bool cut = false;
        if (shown.size() > kLabelBytes) {
            std::size_t end = kLabelBytes;
            // Not inside a UTF-8 sequence: back to the byte that starts it.
            while (end > 0 && (static_cast<unsigned char>(shown[end]) & 0xC0) == 0x80) {
                --end;
            }
            shown = shown.substr(0, end);
            cut = true;
        }
        s += "<g><title>";
        AppendReportText(out, bar.label);
        s += ": ";
        AppendNumber(s, bar.value);
        s += "</title><text class=\"label\" x=\"";
        AppendNumber(s, kLabelRight);
        s += "\" y=\"";
        AppendNumber(s, top + kTextBaseline);
        s += "\" text-anchor=\"end\">";
        AppendReportText(out, shown);
        if (cut) {
            s += "\xE2\x80\xA6";  // …
        }
        s += "</text><rect class=\"bar\" x=\"";
        AppendNumber(s, kBarLeft);
        s += "\" y=\"";
        AppendNumber(s, top);
        s += "\" width=\"";
        AppendNumber(s, length);
        s += "\" height=\"";
        AppendNumber(s, kBarHeight);
        s += "\"></rect><text class=\"value\" x=\"";
        AppendNumber(s, kBarLeft + length + 6);
        s += "\" y=\"";
        AppendNumber(s, top + kTextBaseline);
        s += "\">";
        AppendNumber(s, bar.value);
        s += "</text></g>\n";
        top += kRowHeight;
        out.spill();
    }
    s += "</svg>\n";
    out.spill();
}

}  // namespace tallowby
