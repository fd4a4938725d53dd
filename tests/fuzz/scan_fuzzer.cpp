// A whole scan of two arbitrary log files (the second maybe failing part-way,
// maybe with Stop pressed during some yield) through the file seam: the
// counters, the work list and the results rows agree with each other and with
// the rules applied line by line.
//
// Input: flags, own-domain piece, split point, error point, stop point, then
// the content of both files.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "MemoryFileSystem.h"
#include "RecordingHost.h"
#include "ReferenceRules.h"
#include "engine/match/Rules.h"
#include "engine/match/TextFold.h"
#include "engine/scan/Scanner.h"
#include "output/RowCells.h"

namespace {

using namespace tallowby;
using testing::SplitLines;

// A file that starts with the magic number of gzip, bzip2, xz or zstd is
// decompressed, so its lines are not its bytes: the scan of such an input
// must still end soundly, but the line-by-line checks do not apply.
bool StartsLikeCompressed(std::string_view s) {
    const auto starts = [&](std::string_view magic) { return s.substr(0, magic.size()) == magic; };
    // bzip2: "BZh", a block size, then (as far as the input goes) a block's or the end's magic
    const bool bzip2 = starts("BZh") && s.size() > 3 && s[3] >= '1' && s[3] <= '9' &&
                       (std::string_view("1AY&SY").starts_with(s.substr(4, 6)) ||
                        std::string_view("\x17\x72\x45\x38\x50\x90").starts_with(s.substr(4, 6)));
    return starts("\x1f\x8b") || bzip2 || starts(std::string_view("\xfd\x37zXZ\0", 6)) ||
           starts("\x28\xb5\x2f\xfd") ||
           (s.size() >= 4 && (static_cast<unsigned char>(s[0]) & 0xF0) == 0x50 &&
            s.substr(1, 3) == "\x2a\x4d\x18");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t flags = in.byte();
    const std::string domain(in.piece(12));
    const std::uint8_t splitByte = in.byte();
    const std::uint8_t failByte = in.byte();
    const std::uint8_t stopByte = in.byte();
    const std::string content(in.rest());

    const std::size_t split = content.size() * splitByte / 256;
    const std::string first = content.substr(0, split);
    const std::string second = content.substr(split);
    const bool failSecond = (flags & 4) != 0;
    const std::size_t failAt = second.size() * failByte / 256;

    testing::MemoryFileSystem fs;
    fs.add("/logs/a.log", first).maxChunk = flags % 7 + 1;
    testing::MemoryFileSystem::File& b = fs.add("/logs/b.log", second);
    if (failSecond)
        b.failAfter = static_cast<std::ptrdiff_t>(failAt);

    Scanner scanner(fs);
    testing::RecordingHost host;
    host.select({"a.log", "b.log", "missing.log"});
    host.domain = domain;
    host.dupes = (flags & 1) != 0;
    host.types = (flags & 2) != 0;
    host.counting = (flags & 16) != 0;
    const bool stop = (flags & 8) != 0;
    host.onYield = [&] {
        if (stop && host.yields == stopByte)
            scanner.requestStop();
    };
    FUZZ_CHECK(testing::RunScan(scanner, host));
    if (StartsLikeCompressed(first) || StartsLikeCompressed(second)) {
        return 0;
    }

    const ScanCounters& c = scanner.counters();
    const WorkList& list = scanner.workList();
    // What the rules say of every line, in reading order.
    std::vector<std::string> lines = SplitLines(first, false);
    for (std::string& l :
         SplitLines(failSecond ? std::string_view(second).substr(0, failAt) : second, failSecond)) {
        lines.push_back(std::move(l));
    }
    FUZZ_CHECK(c.linesScanned <= static_cast<std::int64_t>(lines.size()));
    if (!c.cancelRequested)
        FUZZ_CHECK(c.linesScanned == static_cast<std::int64_t>(lines.size()));
    // Per referrer, the (type, bot) of each line that carried it, in order.
    std::map<std::string, std::vector<std::pair<TypeCode, bool>>> expected;
    std::int64_t links = 0;
    for (std::int64_t i = 0; i < c.linesScanned; ++i) {
        const std::string& line = lines[static_cast<std::size_t>(i)];
        if (!LineHasReferrer(line, domain))
            continue;
        ++links;
        const Extraction e = ExtractReferrer(line);
        expected[std::string(e.referrer)].emplace_back(TypeCodeFor(e.remainder), e.bot);
    }
    FUZZ_CHECK(c.linksFound == links);
    FUZZ_CHECK(c.filesDone <= 2);
    FUZZ_CHECK(static_cast<std::int64_t>(list.size()) == c.uniqueLinks());
    FUZZ_CHECK(host.rows.size() == list.size());
    if (!host.dupes)
        FUZZ_CHECK(c.duplicatesRemoved == 0);

    std::map<std::string, std::size_t> seen;
    std::int64_t clicks = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const WorkList::Item item = list.at(i);
        if (i > 0)
            FUZZ_CHECK(CompareIgnoringCase(list.at(i - 1).referrer, item.referrer) <= 0);
        const std::string referrer(item.referrer);
        FUZZ_CHECK(expected.count(referrer) == 1);
        const auto& occurrences = expected[referrer];
        std::size_t& n = seen[referrer];
        FUZZ_CHECK(n < occurrences.size());
        const auto [type, bot] = occurrences[n];
        ++n;
        FUZZ_CHECK(item.type == type && item.bot == bot);
        const ReferrerEntry& row = host.rows[i];
        FUZZ_CHECK(row.referrer == referrer);
        FUZZ_CHECK(row.typeCode == (host.types ? TypeCodeName(bot ? TypeCode::BOT : type) : ""));
        if (host.dupes) {
            FUZZ_CHECK(item.count == static_cast<std::int64_t>(occurrences.size()));
            FUZZ_CHECK(row.clicks == CountPrefix(item.count).substr(0, 7));
            clicks += item.count;
        } else {
            FUZZ_CHECK(item.count == 0 && row.clicks.empty());
        }
    }
    for (const auto& [referrer, occurrences] : expected) {
        FUZZ_CHECK(seen[referrer] == (host.dupes ? 1 : occurrences.size()));
    }
    if (host.dupes)
        FUZZ_CHECK(clicks == c.linksFound);

    FUZZ_CHECK(fs.openSources == 0);
    return 0;
}
