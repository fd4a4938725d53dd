#include "WindowSlot.h"

namespace tallowby {

void ShowAndBringForward(QWidget* window) {
    if (window == nullptr) {
        return;
    }
    if (window->isMinimized()) {
        window->showNormal();
    } else {
        window->show();
    }
    window->raise();
    window->activateWindow();
}

}  // namespace tallowby
