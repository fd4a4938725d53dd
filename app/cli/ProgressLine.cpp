#include "ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "engine/match/ShownText.h"

namespace tallowby::cli {

ProgressLine::ProgressLine(std::FILE* out, int width, Clock::time_point start)
    : out_(out), width_(width), start_(start), last_(start) {}

void ProgressLine::update(const std::string& file, double percent, std::int64_t lines,
                          Clock::time_point now) {
    if (now - last_ < kInterval) {
        return;
    }
    last_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const std::string text = Format(file, percent, lines, seconds, width_);
    // CR back to column 0, the text, then clear whatever a longer line left.
    std::fprintf(out_, "\r%s\x1b[K", text.c_str());
    std::fflush(out_);
    shown_ = true;
}

void ProgressLine::erase() {
    if (!shown_) {
        return;
    }
    std::fputs("\r\x1b[K", out_);
    std::fflush(out_);
    shown_ = false;
}

std::string ProgressLine::Format(const std::string& file, double percent, std::int64_t lines,
                                 double seconds, int width) {
    char figures[96];
    const auto rate =
        static_cast<long long>(seconds > 0 ? static_cast<double>(lines) / seconds : 0);
    if (percent >= 0) {
        std::snprintf(figures, sizeof figures, "  %3d%%  %lld lines  %lld lines/s",
                      static_cast<int>(percent > 100 ? 100 : percent),
                      static_cast<long long>(lines), rate);
    } else {
        std::snprintf(figures, sizeof figures, "  %lld lines  %lld lines/s",
                      static_cast<long long>(lines), rate);
    }
    std::string name = file == "-" ? "(standard input)" : EscapeControlBytes(file);
    // One column stays free: writing into the last one makes some terminals wrap.
    const std::size_t room = width > 0 ? static_cast<std::size_t>(width) - 1 : 79;
    const std::string tail(figures);
    if (name.size() + tail.size() > room) {
        const std::size_t keep = room > tail.size() + 3 ? room - tail.size() - 3 : 0;
        name = keep > 0 ? "..." + name.substr(name.size() - std::min(keep, name.size())) : "";
    }
    std::string line = name + tail;
    if (line.size() > room) {
        line.resize(room);
    }
    return line;
}

int TerminalWidth(int fd) {
    if (!::isatty(fd)) {
        return 0;
    }
    struct winsize ws {};
    if (::ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) {
        return ws.ws_col;
    }
    return 80;
}

}  // namespace tallowby::cli
