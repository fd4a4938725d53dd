#include "ExportPage.h"

#include <memory>

#include "engine/FileHelpers.h"
#include "engine/Rules.h"

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

void AppendHtmlEscaped(std::string& out, std::string_view text) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
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
    out.append(text, from, std::string_view::npos);
}

void AppendExportLine(std::string& out, const WorkList::Item& item) {
    // The target never carries the count prefix: it is the referrer itself,
    // so a "|" that belongs to the address stays in the link.
    out += "<a href='";
    AppendHtmlEscaped(out, StripTypeTags(item.referrer));
    out += "'>";
    AppendHtmlEscaped(out, item.text());
    out += "</a><br>\r\n";
}

ExportResult WriteExportPage(FileSystem& fs, const std::string& path, const WorkList& list) {
    ExportResult result;
    try {
        std::unique_ptr<ByteSink> sink = fs.openReplace(path, result.error);
        if (!sink) {
            return result;
        }
        std::string chunk;
        chunk.reserve(kChunk + 1024);
        for (std::size_t i = 0; i < list.size(); ++i) {
            AppendExportLine(chunk, list.at(i));
            if (chunk.size() >= kChunk) {
                if (!sink->write(chunk)) {
                    result.error = sink->error();
                    return result;  // the sink removes its temporary file
                }
                chunk.clear();
            }
        }
        if ((!chunk.empty() && !sink->write(chunk)) || !sink->commit()) {
            result.error = sink->error();
            return result;
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

}  // namespace tallowby
