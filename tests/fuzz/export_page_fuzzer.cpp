// The export page on arbitrary referrers: every line is a link whose target
// and text carry no markup character of the log unescaped, and unescape to
// exactly the target and text of the entry; the page written through the file
// seam is those lines, and a write that fails part-way leaves the earlier
// page whole.
//
// Input: flags, a byte for where writing fails, then referrers, each a length
// byte and bytes (repeats make the collapse merge them).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "MemoryFileSystem.h"
#include "engine/match/Rules.h"
#include "engine/tally/WorkList.h"
#include "output/ExportPage.h"
#include "output/RowCells.h"

namespace {

using namespace tallowby;

// Undoes the five entities; false on a bare "&" or a markup byte.
bool Unescape(std::string_view text, std::string& out) {
    static const struct {
        std::string_view entity;
        char byte;
    } kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '<' || c == '>' || c == '"' || c == '\'')
            return false;
        if (c != '&') {
            out += c;
            ++i;
            continue;
        }
        bool known = false;
        for (const auto& e : kEntities) {
            if (text.compare(i, e.entity.size(), e.entity) == 0) {
                out += e.byte;
                i += e.entity.size();
                known = true;
                break;
            }
        }
        if (!known)
            return false;
    }
    return true;
}

void CheckLine(std::string_view line, const WorkList::Item& item) {
    constexpr std::string_view open = "<a href='";
    constexpr std::string_view close = "</a><br>\r\n";
    FUZZ_CHECK(line.size() >= open.size() + close.size());
    FUZZ_CHECK(line.substr(0, open.size()) == open);
    FUZZ_CHECK(line.substr(line.size() - close.size()) == close);
    const std::string_view inner =
        line.substr(open.size(), line.size() - open.size() - close.size());
    const std::size_t middle = inner.find("'>");
    FUZZ_CHECK(middle != std::string_view::npos);
    std::string target;
    std::string text;
    FUZZ_CHECK(Unescape(inner.substr(0, middle), target));
    FUZZ_CHECK(Unescape(inner.substr(middle + 2), text));
    FUZZ_CHECK(target == StripTypeTags(item.referrer));
    FUZZ_CHECK(text == EntryText(item));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t flags = in.byte();
    const std::uint8_t failByte = in.byte();
    std::vector<std::string> referrers;
    while (!in.empty() && referrers.size() < 64) {
        std::string r((flags & 4) ? "http://" : "");
        r += in.piece(40);
        referrers.push_back(r);
    }

    WorkList list;
    for (std::size_t i = 0; i < referrers.size(); ++i) {
        list.append(referrers[i], static_cast<TypeCode>(i % kTypeCodeCount), (i & 1) != 0);
    }
    if (flags & 1)
        list.collapse();

    std::string page;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::size_t before = page.size();
        AppendExportLine(page, list.at(i));
        CheckLine(std::string_view(page).substr(before), list.at(i));
    }

    testing::MemoryFileSystem fs;
    const std::string path = "/logs/referers.html";
    const std::string earlier =
        "<a href='http://earlier.example/'>http://earlier.example/</a><br>\r\n";
    fs.add(path, earlier);
    if (flags & 2)
        fs.failWritesAfter = static_cast<std::ptrdiff_t>(page.size() * failByte / 256);
    const ExportResult result = WriteExportPage(fs, path, list);
    if (result.ok) {
        FUZZ_CHECK(fs.file(path).content == page);
    } else {
        FUZZ_CHECK((flags & 2) && !result.error.empty());
        FUZZ_CHECK(fs.file(path).content == earlier);
    }
    FUZZ_CHECK(fs.fileCount() == 1);
    return 0;
}
