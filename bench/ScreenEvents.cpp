#include "ScreenEvents.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <poll.h>

#include <utility>

namespace tallowby::bench {

namespace {

// The window's title: _NET_WM_NAME (UTF-8) when set, else WM_NAME.
std::string TitleOf(Display* display, Window window) {
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data != nullptr && type == utf8) {
        title.assign(reinterpret_cast<const char*>(data), count);
    }
    if (data != nullptr) {
        XFree(data);
    }
    if (title.empty()) {
        char* name = nullptr;
        if (XFetchName(display, window, &name) && name != nullptr) {
            title = name;
            XFree(name);
        }
    }
    return title;
}

// Whether `top` or a window under it has the title.
bool HoldsTitled(Display* display, Window top, const std::string& title) {
    if (TitleOf(display, top) == title) {
        return true;
    }
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, top, &root, &parent, &children, &count)) {
        return false;
    }
    bool found = false;
    for (unsigned i = 0; i < count && !found; ++i) {
        found = HoldsTitled(display, children[i], title);
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

// A window that goes away while it is looked at is no failure here.
int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

Display* Open() {
    XSetErrorHandler(IgnoreErrors);
    return XOpenDisplay(nullptr);
}

}  // namespace

ScreenPointer::ScreenPointer() : display_(Open()) {
    int event = 0, error = 0, major = 0, minor = 0;
    if (display_ != nullptr && !XTestQueryExtension(display_, &event, &error, &major, &minor)) {
        XCloseDisplay(display_);
        display_ = nullptr;
    }
}

ScreenPointer::~ScreenPointer() {
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

void ScreenPointer::moveTo(int x, int y) {
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    XSync(display_, False);
}

void ScreenPointer::click() {
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XSync(display_, False);
}

MapWatch::MapWatch(std::string title, std::function<void(Clock::time_point)> mapped)
    : title_(std::move(title)), mapped_(std::move(mapped)), display_(Open()) {
    if (display_ == nullptr) {
        return;
    }
    // Top-level windows (frames, with a window manager) report their maps
    // to the root.
    XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    XSync(display_, False);
    thread_ = std::thread([this] { run(); });
}

MapWatch::~MapWatch() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

void MapWatch::run() {
    pollfd connection{ConnectionNumber(display_), POLLIN, 0};
    while (!stop_) {
        if (XPending(display_) == 0) {
            poll(&connection, 1, 50);
            continue;
        }
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type != MapNotify) {
            continue;
        }
        const Clock::time_point at = Clock::now();
        if (HoldsTitled(display_, event.xmap.window, title_)) {
            mapped_(at);
        }
    }
}

}  // namespace tallowby::bench
