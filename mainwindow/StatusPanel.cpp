#include "StatusPanel.h"

#include <QHelpEvent>
#include <QToolTip>

namespace tallowby {

StatusPanel::StatusPanel(QWidget* parent) : QLabel(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setIndent(3);
    setTextFormat(Qt::PlainText);
}

bool StatusPanel::isCut() const {
    const int room = contentsRect().width() - indent();
    return fontMetrics().horizontalAdvance(text()) > room;
}

bool StatusPanel::event(QEvent* event) {
    // The tip is decided when it is asked for, so it always matches the
    // text and the width of the moment, however they were changed.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (isCut()) {
            QToolTip::showText(help->globalPos(), text(), this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QLabel::event(event);
}

}  // namespace tallowby
