// Compressed logs: sniffing, decoding on a thread, damaged data, the line
// limit and Stop inside a long line, and the scan's progress. The compressed
// inputs are made at test time by the formats' own command-line tools.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MemoryFileSystem.h"
#include "RecordingHost.h"
#include "RunProgram.h"
#include "engine/read/Compression.h"
#include "engine/read/LineReader.h"
#include "engine/scan/Scanner.h"

namespace tallowby {
namespace {

using testing::MemoryFileSystem;
using testing::RecordingHost;

using testing::Packed;

std::string NumberedLines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "1.2.3.4 GET /p" + std::to_string(i) + " \"http://ref.example/" +
                std::to_string(i % 7) + "\"\n";
    }
    return text;
}

struct Drained {
    std::string bytes;
    std::ptrdiff_t last = 0;  // 0: ended cleanly, -1: failed
    std::string error;
};

// Everything a source hands out, reading at most `capacity` bytes at a time.
Drained Drain(ByteSource& source, std::size_t capacity) {
    Drained d;
    std::vector<char> buffer(capacity);
    for (;;) {
        const std::ptrdiff_t n = source.read(buffer.data(), capacity);
        if (n <= 0) {
            d.last = n;
            d.error = n < 0 ? source.error() : "";
            return d;
        }
        d.bytes.append(buffer.data(), static_cast<std::size_t>(n));
    }
}

std::unique_ptr<ByteSource> Open(MemoryFileSystem& fs, const std::string& path) {
    std::string error;
    auto raw = fs.openRead(path, error);
    EXPECT_TRUE(raw) << error;
    return raw;
}

TEST(Compression, SniffsTheMagicNumberWhateverTheName) {
    const struct {
        std::string head;
        Compression kind;
    } cases[] = {
        {"\x1f\x8b\x08\0\0\0", Compression::Gzip},
        {"\x1f\x8b", Compression::Gzip},
        {"BZh91AY", Compression::Bzip2},  // a file cut short in the block magic
        {"BZh1\x31\x41\x59\x26\x53\x59", Compression::Bzip2},
        {"BZh9\x17\x72\x45\x38\x50\x90", Compression::Bzip2},  // an empty stream
        {"BZh5 GET /", Compression::None},
        {"BZh91AY&SX", Compression::None},
        {"BZh", Compression::None},  // no block-size digit
        {"BZhx12", Compression::None},
        {std::string("\xfd\x37zXZ\0", 6), Compression::Xz},
        {"\xfd\x37zXZ", Compression::None},  // cut short
        {"\x28\xb5\x2f\xfd\x00", Compression::Zstd},
        {"\x5a\x2a\x4d\x18", Compression::Zstd},  // skippable frame
        {"\x1f", Compression::None},
        {"", Compression::None},
        {"1.2.3.4 - - [", Compression::None},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SniffCompression(c.head), c.kind) << c.head;
    }
}

TEST(Compression, EveryKindDecodesToItsTextOverEveryReadPath) {
    const std::string text = NumberedLines(4000);  // a few decoded blocks
    const std::string other = "second part without line end";
    const std::string gz = Packed("gzip", text), bz = Packed("bzip2", text);
    const std::string xz = Packed("xz", text), zst = Packed("zstd", text);
    const struct {
        const char* what;
        std::string packed;
        std::string expected;
    } cases[] = {
        {"gzip", gz, text},
        {"bzip2", bz, text},
        {"xz", xz, text},
        {"zstd", zst, text},
        {"gzip members", gz + Packed("gzip", other), text + other},
        {"gzip, zero padding", Packed("gzip", other) + std::string(100, '\0'), other},
        {"bzip2 streams", Packed("bzip2", other) + bz, other + text},
        {"xz streams", xz + Packed("xz", other), text + other},
        {"zstd frames", Packed("zstd", other) + zst, other + text},
        {"empty gzip", Packed("gzip", ""), ""},
    };
    for (const auto& c : cases) {
        for (std::size_t rawChunk : {std::size_t{1}, std::size_t{7}, std::size_t{1} << 20}) {
            for (std::size_t capacity : {std::size_t{1}, std::size_t{4093}, std::size_t{1} << 20}) {
                if (rawChunk == 1 && capacity == 1 && c.expected.size() > 1000) {
                    continue;  // slow and no different from the small cases
                }
                MemoryFileSystem fs;
                fs.add("/f", c.packed).maxChunk = rawChunk;
                Compression kind = Compression::None;
                auto source = OpenDecoded(Open(fs, "/f"), kind);
                const Drained d = Drain(*source, capacity);
                EXPECT_NE(kind, Compression::None) << c.what;
                EXPECT_EQ(d.last, 0) << c.what << ": " << d.error;
                EXPECT_TRUE(d.bytes == c.expected)
                    << c.what << " raw " << rawChunk << " capacity " << capacity << ": "
                    << d.bytes.size() << " bytes, expected " << c.expected.size();
            }
        }
    }
}

TEST(Compression, DamagedDataFailsAfterWhatWasDecodedBefore) {
    const std::string text = NumberedLines(4000);
    const std::string gz = Packed("gzip", text), bz = Packed("bzip2", text);
    const std::string xz = Packed("xz", text), zst = Packed("zstd", text);
    const auto cut = [](std::string s, double share) {
        return s.substr(0, static_cast<std::size_t>(static_cast<double>(s.size()) * share));
    };
    const auto spoil = [](std::string s) {
        for (std::size_t i = s.size() / 2; i < s.size() / 2 + 64; ++i)
            s[i] ^= 0x55;
        return s;
    };
    // What came out: a start of the text (not so for corrupt data), or all of it.
    enum Out { Any, Start, All };
    const struct {
        const char* what;
        std::string packed;
        std::ptrdiff_t failAfter;  // a read error of the file itself after so many bytes
        const char* error;
        Out out;
    } cases[] = {
        {"gzip cut", cut(gz, 0.6), -1, "truncated gzip data", Start},
        {"bzip2 cut", cut(bz, 0.6), -1, "truncated bzip2 data", Start},
        {"xz cut", cut(xz, 0.6), -1, "truncated xz data", Start},
        {"zstd cut", cut(zst, 0.6), -1, "truncated zstd data", Start},
        {"gzip trailer cut", gz.substr(0, gz.size() - 4), -1, "truncated gzip data", All},
        {"magic only", "\x1f\x8b", -1, "truncated gzip data", Start},
        {"gzip spoilt", spoil(gz), -1, "corrupt gzip data", Any},
        {"bzip2 spoilt", spoil(bz), -1, "corrupt bzip2 data", Any},
        {"xz spoilt", spoil(xz), -1, "corrupt xz data", Any},
        {"zstd spoilt", spoil(zst), -1, "corrupt zstd data", Any},
        {"gzip, garbage after member", gz + "garbage!!!!!!!!!!", -1, "corrupt gzip data", All},
        {"read error", xz, static_cast<std::ptrdiff_t>(xz.size() / 2), "Input/output error", Start},
    };
    for (const auto& c : cases) {
        MemoryFileSystem fs;
        fs.add("/f", c.packed).failAfter = c.failAfter;
        Compression kind;
        auto source = OpenDecoded(Open(fs, "/f"), kind);
        const Drained d = Drain(*source, 65536);
        EXPECT_EQ(d.last, -1) << c.what;
        EXPECT_EQ(d.error, c.error) << c.what;
        if (c.out != Any) {
            EXPECT_EQ(d.bytes, text.substr(0, c.out == All ? text.size() : d.bytes.size()))
                << c.what;
        }
    }
}

TEST(Compression, PlainStreamsPassThroughAsTheyAre) {
    // Against the file read directly: same bytes, same end or failure.
    for (const std::string content : {"", "a", "abcde", "abcdef", "abcdefg", "BZh", "\x1f"}) {
        for (std::size_t chunk : {1, 3, 64}) {
            for (std::ptrdiff_t failAfter : {-1, 0, 2, 6}) {
                MemoryFileSystem fs;
                auto& f = fs.add("/f", content);
                f.maxChunk = chunk;
                f.failAfter = failAfter;
                const Drained direct = Drain(*Open(fs, "/f"), 5);
                Compression kind;
                auto source = OpenDecoded(Open(fs, "/f"), kind);
                const Drained through = Drain(*source, 5);
                EXPECT_EQ(kind, Compression::None);
                EXPECT_EQ(through.bytes, direct.bytes)
                    << content << " " << chunk << " " << failAfter;
                EXPECT_EQ(through.last, direct.last) << content << " " << chunk << " " << failAfter;
                EXPECT_EQ(through.error, direct.error);
            }
        }
    }
}

TEST(Compression, LineThatInflatesWithoutEndStopsAtTheLineLimit) {
    MemoryFileSystem fs;
    fs.add("/bomb", Packed("gzip", std::string(std::size_t{8} << 20, 'a')));
    Compression kind;
    auto source = OpenDecoded(Open(fs, "/bomb"), kind);
    LineReader reader(*source, 4096, std::size_t{1} << 20);
    std::string_view line;
    EXPECT_FALSE(reader.next(line));
    EXPECT_EQ(reader.error(), "Line longer than 1048576 bytes");
}

class CompressedScan : public ::testing::Test {
protected:
    MemoryFileSystem fs;
    RecordingHost host;
    Scanner scanner{fs};
};

TEST_F(CompressedScan, RowsAsForThePlainLogAndProgressInCompressedBytes) {
    const std::string log =
        "a \"http://one.example/x\" b\nno referrer\r\nc \"http://two.example/\" d\n"
        "x \"http://one.example/x\" y";
    const std::string packed = Packed("zstd", log);
    fs.add("/logs/access.log.1", packed);
    host.select({"access.log.1"});
    testing::RunScan(scanner, host);
    using ::testing::ElementsAre;
    using ::testing::Field;
    EXPECT_THAT(host.rows, ElementsAre(Field(&ReferrerEntry::referrer, "http://one.example/x\" "),
                                       Field(&ReferrerEntry::referrer, "http://two.example/\" ")));
    EXPECT_EQ(host.rows[0].clicks, "0000002");
    EXPECT_EQ(scanner.counters().linesScanned, 4);
    EXPECT_EQ(scanner.counters().filesDone, 1);
    const double size = static_cast<double>(packed.size());
    const std::string max = "max:" + RecordingHost::Format(size + 1.01);
    const std::string end = "value:" + RecordingHost::Format(size + 0.01);
    EXPECT_THAT(host.events, ::testing::Contains(max));
    // Each line reports the compressed bytes behind it; the one block here holds all.
    EXPECT_EQ(std::count(host.events.begin(), host.events.end(), end), 4);
}

// bzip2 writes its block size (1 to 9 hundred kilobytes) into its magic;
// a text log that merely starts with such four bytes stays a text.
TEST_F(CompressedScan, EveryBzip2BlockSizeIsReadAndATextLikeItStaysText) {
    const std::string line = "a \"http://ref.example/\" b\n";
    std::vector<std::string> names = {"text.log"};
    fs.add("/logs/text.log", "BZh5 " + line);
    for (char size = '1'; size <= '9'; ++size) {
        names.push_back(std::string("access.log.bz") + size);
        fs.add("/logs/" + names.back(), Packed("bzip2", line, std::string("-") + size));
    }
    host.select(names);
    testing::RunScan(scanner, host);
    EXPECT_EQ(scanner.counters().filesDone, 10);
    EXPECT_EQ(scanner.counters().linksFound, 10);  // one from each
}

// Stop pressed while one line inflates: the decoded blocks give the window
// its turns, and the scan ends there, cancelled, not failed.
class StoppingHost : public RecordingHost {
public:
    Scanner* scanner = nullptr;
    int turns = 0;
    void giveEventLoopTurn() override {
        if (++turns == 3)
            scanner->requestStop();
    }
};

TEST(CompressedScanStop, StopEndsALineThatInflatesWithoutEnd) {
    MemoryFileSystem fs;
    fs.add("/logs/bomb.gz", Packed("gzip", std::string(std::size_t{4} << 20, '\0')));
    StoppingHost host;
    Scanner scanner(fs);
    host.scanner = &scanner;
    host.select({"bomb.gz"});
    testing::RunScan(scanner, host);
    EXPECT_EQ(host.turns, 3);
    EXPECT_EQ(scanner.counters().linesScanned, 0);
    EXPECT_EQ(scanner.counters().filesDone, 0);
    EXPECT_THAT(host.statuses(), ::testing::Contains("Cancelled"));
    for (const auto& e : host.events)
        EXPECT_EQ(e.rfind("problem:", 0), std::string::npos) << e;
}

}  // namespace
}  // namespace tallowby
