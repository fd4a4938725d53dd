#pragma once

// What a user does and sees, at the X server: a mouse click that reaches a
// program as any click does, and the moment a window of a given title is
// mapped on the screen. For benchmarks that time a program from the
// outside, on any X display (Xvfb with a window manager in the scripts).

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

struct _XDisplay;  // Xlib's Display

namespace tallowby::bench {

using Clock = std::chrono::steady_clock;

// Clicks through the server's test extension, on a connection of its own.
// Use from one thread.
class ScreenPointer {
public:
    ScreenPointer();
    ~ScreenPointer();
    ScreenPointer(const ScreenPointer&) = delete;
    ScreenPointer& operator=(const ScreenPointer&) = delete;

    // False without a display or its test extension.
    bool usable() const { return display_ != nullptr; }
    // Moves the pointer to a point of the screen, as a hand does before it
    // clicks.
    void moveTo(int x, int y);
    // Presses and releases the left button where the pointer is; returns
    // once the server has the click.
    void click();

private:
    ::_XDisplay* display_ = nullptr;
};

// Watches, on a thread and a connection of its own, for a window titled
// `title` to be mapped; calls `mapped` on that thread with the time it saw
// the map, every time. With a window manager the window that shows is the
// manager's frame around it: the map counted is that of the top-level
// window (frame or not) that holds the titled window.
class MapWatch {
public:
    MapWatch(std::string title, std::function<void(Clock::time_point)> mapped);
    ~MapWatch();
    MapWatch(const MapWatch&) = delete;
    MapWatch& operator=(const MapWatch&) = delete;

    // False without a display.
    bool usable() const { return display_ != nullptr; }

private:
    void run();

    std::string title_;
    std::function<void(Clock::time_point)> mapped_;
    ::_XDisplay* display_ = nullptr;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace tallowby::bench
