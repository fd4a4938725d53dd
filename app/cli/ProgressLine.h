#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tallowby::cli {

// The one-line progress indicator drawn on a terminal's standard error:
// "NAME  PCT%  LINES lines  RATE lines/s", redrawn in place at most ten times
// a second and erased when the scan ends, so nothing of it stays in the
// terminal's history.
class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kInterval{100};

    // `out` is the terminal; `width` its columns (the line is cut to fit).
    ProgressLine(std::FILE* out, int width, Clock::time_point start);

    // Redraws when the last drawing is at least kInterval old (or, for the
    // first drawing, the scan is that old). `percent` < 0 means unknown.
    void update(const std::string& file, double percent, std::int64_t lines, Clock::time_point now);
    // Removes the line, if one is shown. Safe to call more than once.
    void erase();

    // The text of one drawing, cut to `width` columns by shortening the file
    // name from the left (the end of a path says most).
    static std::string Format(const std::string& file, double percent, std::int64_t lines,
                              double seconds, int width);

private:
    std::FILE* out_;
    int width_;
    Clock::time_point start_;
    Clock::time_point last_;
    bool shown_ = false;
};

// The columns of the terminal behind `fd`, or 0 when it is not a terminal.
int TerminalWidth(int fd);

}  // namespace tallowby::cli
