#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace tallowby {

void PutOnClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(text);
    if (clipboard->supportsSelection()) {
        clipboard->setText(text, QClipboard::Selection);
    }
}

}  // namespace tallowby
