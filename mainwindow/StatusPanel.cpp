#include "StatusPanel.h"

#include <QColor>
#include <QHelpEvent>
#include <QPalette>
#include <QToolTip>

namespace tallowby {

namespace {

// A held note stands apart from the ordinary texts.
const QColor kNoteColour(0xb0, 0x10, 0x10);

}  // namespace

StatusPanel::StatusPanel(QWidget* parent) : QLabel(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setIndent(3);
    setTextFormat(Qt::PlainText);
}

bool StatusPanel::isCut() const {
    const int room = contentsRect().width() - indent();
    return fontMetrics().horizontalAdvance(text()) > room;
}

void StatusPanel::holdNote(const QString& note) {
    if (!holding_) {
        behindNote_ = text();
        holding_ = true;
        QPalette marked = palette();
        marked.setColor(QPalette::WindowText, kNoteColour);
        setPalette(marked);
    }
    setText(note);
}

void StatusPanel::releaseNote() {
    if (!holding_) {
        return;
    }
    holding_ = false;
    setPalette(QPalette());
    setText(behindNote_);
    behindNote_.clear();
}

void StatusPanel::showText(const QString& text) {
    if (holding_) {
        behindNote_ = text;
    } else {
        setText(text);
    }
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
