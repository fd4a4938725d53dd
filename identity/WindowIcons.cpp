#include "WindowIcons.h"

#include <QApplication>
#include <QFile>
#include <QWidget>

namespace tallowby {

QList<int> IconGroupSizes() {
    return {128, 64, 48, 32, 16};
}

QString IconImagePath(const QString& iconName, int size, int bitsPerPixel) {
    return QStringLiteral(":/icons/%1/%2-%3.png").arg(iconName).arg(size).arg(bitsPerPixel);
}

QIcon LoadIconGroup(const QString& iconName) {
    QIcon icon;
    // The 32-bit images are the best of each size; the window system asks
    // for its large and small sizes and gets the exact image, never a scaled
    // neighbour.
    for (int size : IconGroupSizes()) {
        const QString path = IconImagePath(iconName, size, 32);
        if (QFile::exists(path)) {
            icon.addFile(path, QSize(size, size));
        }
    }
    return icon;
}

void SetWindowIcons(QWidget* window, const QString& iconName, bool alsoOwner) {
    if (window == nullptr) {
        return;
    }
    const QIcon icon = LoadIconGroup(iconName);
    if (alsoOwner) {
        // The owner of a top-level window is the window it was parented to;
        // follow the chain to its end.
        QWidget* owner = window->window();
        while (QWidget* next = owner->parentWidget()) {
            owner = next->window();
        }
        owner->setWindowIcon(icon);
    }
    window->setWindowIcon(icon);
    // Windows without an icon of their own, the taskbar and the task
    // switcher use the application's icon.
    QApplication::setWindowIcon(icon);
}

}  // namespace tallowby
