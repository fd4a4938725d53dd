#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/read/FileSystem.h"
#include "engine/tally/WorkList.h"
#include "output/TextOutput.h"

namespace tallowby {

// The export file's name, spelled as the program has always spelled it.
inline constexpr const char* kExportFileName = "referers.html";

// Where the export of a log directory goes: `directory`, "/" and
// "referers.html" (no doubled "/"; the bare name when `directory` is empty).
std::string ExportPagePath(std::string_view directory);

// The text of the message that confirms an export: "saved as " and the path.
std::string ExportSavedMessage(std::string_view path);

// `text` with & < > " ' written as &amp; &lt; &gt; &quot; &#39;, appended to
// `out`. Every other byte is copied unchanged.
void AppendHtmlEscaped(std::string& out, std::string_view text);
void AppendHtmlEscaped(TextOutput& out, std::string_view text);

// Appends the address a link to a work-list entry opens: `referrer` (the
// entry's text, without any count prefix) through StripTypeTags, handed to
// `escape` in at most two pieces, so the text is not copied.
void AppendLinkTarget(TextOutput& out, std::string_view referrer,
                      void (*escape)(TextOutput&, std::string_view));

// Appends one line of the export page for a work-list entry: "<a href='",
// the escaped link target, "'>", the escaped link text, "</a><br>", CR LF.
//   target: the referrer without any count prefix, through StripTypeTags.
//   text:   the entry's text as stored, count prefix and trailing space kept.
void AppendExportLine(std::string& out, const WorkList::Item& item);
void AppendExportLine(TextOutput& out, const WorkList::Item& item);

struct ExportResult {
    bool ok = false;
    std::string error;  // the system's reason when !ok; the caller names the path
};

// Writes the export page of `list` to `path`: one line per work-list entry,
// in work-list order, nothing else (an empty list gives an empty file). The
// bytes go to a temporary file beside `path` that is renamed over it only
// when everything was written, so a failure leaves an earlier file whole and
// no partial file behind (a device or FIFO is written straight through; see
// FileSystem::openReplace). Long cells are escaped into the file in pieces.
// Never throws.
ExportResult WriteExportPage(FileSystem& fs, const std::string& path, const WorkList& list);

// Writes what `write` appends to the output it is given to `path`, the way
// WriteExportPage writes its page: through a temporary file renamed over
// `path` once all was written, the output handed on in pieces as it grows.
// `write` may stop early once the output is no longer ok(). Never throws.
ExportResult WriteReplacing(FileSystem& fs, const std::string& path,
                            const std::function<void(TextOutput&)>& write);

}  // namespace tallowby
