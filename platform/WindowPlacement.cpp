#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tallowby {

void CentreOnScreen(QWidget* window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (window == nullptr || screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
}

void CentreOver(QWidget* window, const QWidget* over) {
    if (window == nullptr || over == nullptr) {
        return;
    }
    const QSize size = window->frameGeometry().size();
    window->move(over->frameGeometry().center() - QPoint(size.width() / 2, size.height() / 2));
}

}  // namespace tallowby
