#pragma once

#include <functional>

namespace tallowby {

class Form1;
struct Form1Services;

// What a caller may add to the run; the program itself passes nothing.
struct DesktopHooks {
    // Before the main window is made from its services.
    std::function<void(Form1Services&)> services;
    // Once the main window is shown.
    std::function<void(Form1&)> shown;
};

// The desktop program inside an existing QApplication: the splash window
// first, which hands over to the main window on its 75th tick; returns the
// exit status when the run ends.
int RunDesktopProgram(const DesktopHooks& hooks = {});

}  // namespace tallowby
