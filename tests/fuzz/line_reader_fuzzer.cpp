// The line reader over arbitrary bytes, with arbitrary buffer sizes, pieces of
// arbitrary size from the source, and a read error at an arbitrary point; its
// lines checked against a plain splitter, and the line count of the progress
// bar against the lines the reader gives.
//
// Input: block size, piece size, error switch, two bytes of error position,
// line limit, then the content.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "MemoryFileSystem.h"
#include "ReferenceRules.h"
#include "engine/read/LineCount.h"
#include "engine/read/LineReader.h"

namespace {

using namespace tallowby;
using testing::SplitLines;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t blockByte = in.byte();
    const std::uint8_t chunkByte = in.byte();
    const bool injectError = (in.byte() & 1) != 0;
    const std::size_t errorAt = in.byte() | (static_cast<std::size_t>(in.byte()) << 8);
    const std::uint8_t limitByte = in.byte();
    const std::string content(in.rest());
    const std::size_t maxLine = (limitByte & 0x80) ? limitByte & 0x3F : LineReader::kMaxLine;

    const std::size_t block = blockByte == 255 ? LineReader::kDefaultBlock : blockByte % 40 + 1;
    testing::MemoryFileSystem fs;
    testing::MemoryFileSystem::File& file = fs.add("/log", content);
    file.maxChunk = chunkByte == 255 ? content.size() + 1 : chunkByte % 70 + 1;
    const std::size_t failAt = errorAt % (content.size() + 1);
    if (injectError)
        file.failAfter = static_cast<std::ptrdiff_t>(failAt);

    std::string error;
    auto source = fs.openRead("/log", error);
    FUZZ_CHECK(source != nullptr);
    LineReader reader(*source, block, maxLine);
    std::vector<std::string> lines;
    std::string_view line;
    for (;;) {
        const bool end = reader.atEnd();
        FUZZ_CHECK(reader.atEnd() == end);  // asking twice changes nothing
        std::string_view got;
        const bool more = reader.next(got);
        // A read error may cut the line that atEnd() saw begin.
        FUZZ_CHECK(more == !end || (!end && reader.failed()));
        if (!more)
            break;
        lines.emplace_back(got);
    }
    FUZZ_CHECK(!reader.next(line));

    // A line over the limit ends the reading: the lines before it stay.
    std::vector<std::string> expected =
        injectError ? SplitLines(std::string_view(content).substr(0, failAt), true)
                    : SplitLines(content);
    bool overLimit = false;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i].size() > maxLine) {
            expected.resize(i);
            overLimit = true;
            break;
        }
    }
    if (overLimit) {
        FUZZ_CHECK(reader.failed() && !reader.error().empty());
        FUZZ_CHECK(lines == expected);
    } else if (injectError) {
        // Every line ended before the error, and nothing of the piece it cut.
        FUZZ_CHECK(reader.failed() && !reader.error().empty());
        FUZZ_CHECK(lines == expected);
    } else {
        FUZZ_CHECK(!reader.failed());
        FUZZ_CHECK(lines == expected);
        FUZZ_CHECK(reader.bytesRead() == content.size());
        // The lines joined with their own terminators give back the input.
        std::string joined;
        std::size_t at = 0;
        for (const std::string& l : lines) {
            FUZZ_CHECK(content.compare(at, l.size(), l) == 0);
            joined += l;
            at += l.size();
            if (at < content.size()) {
                const std::size_t end = content.compare(at, 2, "\r\n") == 0 ? 2 : 1;
                FUZZ_CHECK(content[at] == '\r' || content[at] == '\n');
                joined += content.substr(at, end);
                at += end;
            }
        }
        FUZZ_CHECK(joined == content);
        FUZZ_CHECK(CountFileLines("/log", fs) == static_cast<std::int64_t>(lines.size()));
    }
    FUZZ_CHECK(CountFileLines("/log", fs) <= static_cast<std::int64_t>(SplitLines(content).size()));
    source.reset();
    FUZZ_CHECK(fs.openSources == 0);
    return 0;
}
