#pragma once

#include <QPointer>
#include <QWidget>

#include <utility>

namespace tallowby {

// Holds a secondary window that exists only while it is open: it is created
// by the first Load, destroyed when the user closes it (WA_DeleteOnClose) or
// when Unload runs, and created afresh by the next Load.
template <typename Window>
class WindowSlot {
public:
    WindowSlot() = default;
    WindowSlot(const WindowSlot&) = delete;
    WindowSlot& operator=(const WindowSlot&) = delete;
    // A window outliving its slot could call back into a destroyed owner.
    ~WindowSlot() { Unload(); }

    Window* window() const { return window_.data(); }
    bool isLoaded() const { return !window_.isNull(); }

    // Returns the loaded window, creating it with `create()` when none is
    // loaded. Only a new window runs its load step (its constructor).
    template <typename Create>
    Window* Load(Create&& create) {
        if (window_.isNull()) {
            window_ = std::forward<Create>(create)();
            window_->setAttribute(Qt::WA_DeleteOnClose);
        }
        return window_.data();
    }

    // Destroys the window at once without any of its close handling; does
    // nothing when none is loaded.
    void Unload() { delete window_.data(); }

private:
    QPointer<Window> window_;
};

// Shows `window` modeless and brings it in front of the others.
void ShowAndBringForward(QWidget* window);

}  // namespace tallowby
