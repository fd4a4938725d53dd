#include "OnTop.h"

#include <QWidget>

namespace tallowby {

void SetOnTop(QWidget* window, bool onTop) {
    if (window == nullptr || IsOnTop(window) == onTop) {
        return;
    }
    // Changing a top-level window's flags may recreate its native window,
    // which hides it and can lose its position; put both back.
    const bool wasVisible = window->isVisible();
    const QPoint position = window->pos();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (wasVisible) {
        window->move(position);
        if (!window->isVisible()) {
            window->show();
        }
    }
}

bool IsOnTop(const QWidget* window) {
    return window != nullptr && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

}  // namespace tallowby
