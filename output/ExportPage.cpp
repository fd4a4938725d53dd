#include "ExportPage.h"

#include <algorithm>
#include <memory>

#include "engine/match/Rules.h"
#include "engine/read/FilePaths.h"
#include "output/RowCells.h"
#include "output/TextOutput.h"

namespace tallowby {

namespace {
// Bytes gathered before each write to the sink.
constexpr std::size_t kChunk = 1 << 16;
}  // namespace

std::string ExportPagePath(std::string_view directory) {
    return JoinPath(directory, kExportFileName);
}

std::string ExportSavedMessage(std::string_view path) {
    std::string message = "saved as ";
    message.append(path);
    return message;
}

void AppendHtmlEscaped(TextOutput& output, std::string_view text) {
    // In blocks of input, each handed on before the next: a long cell
    // never stands escaped whole in memory.
    constexpr std::size_t kBlock = 1 << 14;
    std::string& out = output.buffer();
    for (std::size_t block = 0; block < text.size(); block += kBlock) {
        const std::size_t end = std::min(text.size(), block + kBlock);
        std::size_t from = block;
        for (std::size_t i = block; i < end; ++i) {
            const char* entity = nullptr;
            switch (text[i]) {
                case '&':
                    entity = "&amp;";
                    break;
                case '<':
                    entity = "&lt;";
                    break;
                case '>':
                    entity = "&gt;";
                    break;
                case '"':
                    entity = "&quot;";
                    break;
                case '\'':
                    entity = "&#39;";
                    break;
                default:
                    continue;
            }
            out.append(text, from, i - from);
            out += entity;
            from = i + 1;
        }
        out.append(text, from, end - from);
        output.spill();
    }
}

void AppendHtmlEscaped(std::string& out, std::string_view text) {
    TextOutput output(out);
    AppendHtmlEscaped(output, text);
}

void AppendLinkTarget(TextOutput& out, std::string_view referrer,
                      void (*escape)(TextOutput&, std::string_view)) {
    if (referrer.find('[') != std::string_view::npos) {
        escape(out, StripTypeTags(referrer));  // a tag to take out: rare
        return;
    }
    // Without a tag the target is the referrer less its first space:
    // written in two parts, not copied.
    const std::size_t space = referrer.find(' ');
    escape(out, referrer.substr(0, space));
    if (space != std::string_view::npos) {
        escape(out, referrer.substr(space + 1));
    }
}

void AppendExportLine(TextOutput& out, const WorkList::Item& item) {
    // The target never carries the count prefix: it is the referrer itself,
    // so a "|" that belongs to the address stays in the link.
    out.buffer() += "<a href='";
    const std::string_view referrer = item.referrer;
    AppendLinkTarget(out, referrer, AppendHtmlEscaped);
    out.buffer() += "'>";
    if (item.count > 0) {
        out.buffer() += CountPrefix(item.count);
    }
    AppendHtmlEscaped(out, referrer);
    out.buffer() += "</a><br>\r\n";
    out.spill();
}

void AppendExportLine(std::string& out, const WorkList::Item& item) {
    TextOutput output(out);
    AppendExportLine(output, item);
}

ExportResult WriteReplacing(FileSystem& fs, const std::string& path,
                            const std::function<void(TextOutput&)>& write) {
    ExportResult result;
    try {
        std::unique_ptr<ByteSink> sink = fs.openReplace(path, result.error);
        if (!sink) {
            return result;
        }
        TextOutput out([&sink](std::string_view bytes) { return sink->write(bytes); }, kChunk);
        write(out);
        if (!out.flush() || !sink->commit()) {
            result.error = sink->error();
            return result;  // the sink removes its temporary file
        }
        result.ok = true;
        return result;
    } catch (const std::exception& e) {
        // Out of memory while formatting: report it like any write failure.
        result.ok = false;
        result.error = e.what();
    }
    if (result.error.empty()) {
        result.error = "Write failed";
    }
    return result;
}

ExportResult WriteExportPage(FileSystem& fs, const std::string& path, const WorkList& list) {
    return WriteReplacing(fs, path, [&list](TextOutput& out) {
        for (WorkList::Reader reader = list.reader(); reader.index() < list.size() && out.ok();) {
            AppendExportLine(out, reader.next());
        }
    });
}

}  // namespace tallowby
