#include "cli/ProgressLine.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace tallowby::cli {
namespace {

using namespace std::chrono_literals;

TEST(ProgressLine, FormatFitsTheTerminal) {
    struct Case {
        std::string file;
        double percent;
        std::int64_t lines;
        double seconds;
        int width;
        std::string text;
    };
    const Case cases[] = {
        {"access.log", 42.7, 500000, 2.0, 80, "access.log   42%  500000 lines  250000 lines/s"},
        {"-", -1, 10, 0.0, 80, "(standard input)  10 lines  0 lines/s"},
        {"a.log", 130, 1, 1.0, 80, "a.log  100%  1 lines  1 lines/s"},
        // Too long: the path loses its start, never the figures.
        {"/var/log/nginx/very/long/path/access.log", 5, 100, 1.0, 40,
         "...ss.log    5%  100 lines  100 lines/s"},
        // No room for a name beside the figures: the figures alone, cut to fit.
        {"x.log", 5, 100, 1.0, 20, "    5%  100 lines  "},
    };
    for (const Case& c : cases) {
        const std::string text =
            ProgressLine::Format(c.file, c.percent, c.lines, c.seconds, c.width);
        EXPECT_EQ(text, c.text);
        EXPECT_LT(text.size(), static_cast<std::size_t>(c.width));
    }
}

TEST(ProgressLine, RedrawsAtMostTenTimesASecondAndErasesOnce) {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    ASSERT_NE(out, nullptr);
    const auto t0 = ProgressLine::Clock::time_point{};
    {
        ProgressLine line(out, 80, t0);
        line.erase();                        // nothing shown yet: nothing written
        line.update("a", 1, 1, t0 + 50ms);   // too early after the start
        line.update("a", 2, 2, t0 + 100ms);  // drawn
        line.update("a", 3, 3, t0 + 150ms);  // too early after the last drawing
        line.update("a", 4, 4, t0 + 250ms);  // drawn
        line.erase();
        line.erase();
    }
    std::fflush(out);
    const std::string written(data, size);
    std::fclose(out);
    std::free(data);
    EXPECT_EQ(written,
              "\ra    2%  2 lines  20 lines/s\x1b[K"
              "\ra    4%  4 lines  16 lines/s\x1b[K"
              "\r\x1b[K");
}

}  // namespace
}  // namespace tallowby::cli
