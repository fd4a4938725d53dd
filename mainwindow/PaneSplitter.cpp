#include "PaneSplitter.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace tallowby {

PaneSplitter::PaneSplitter(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("splPanes"));
    setCursor(Qt::SplitHCursor);
    setFocusPolicy(Qt::StrongFocus);
    setToolTip(
        QStringLiteral("Drag, or press the arrow keys, to share the width between the "
                       "list and the browser"));
    setAccessibleName(QStringLiteral("Pane splitter"));
}

void PaneSplitter::placeAt(int x, int top, int height) {
    setGeometry(x - kThickness / 2, top, kThickness, height);
    raise();
}

void PaneSplitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    dragging_ = true;
    grabOffset_ = line() - mapToParent(event->position().toPoint()).x();
}

void PaneSplitter::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        emit moveRequested(mapToParent(event->position().toPoint()).x() + grabOffset_);
    }
}

void PaneSplitter::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_ && event->button() == Qt::LeftButton) {
        dragging_ = false;
        emit moveFinished();
    }
}

void PaneSplitter::keyPressEvent(QKeyEvent* event) {
    const int step = event->key() == Qt::Key_Left    ? -kKeyStep
                     : event->key() == Qt::Key_Right ? kKeyStep
                                                     : 0;
    if (step == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    emit moveRequested(line() + step);
    emit moveFinished();
}

void PaneSplitter::paintEvent(QPaintEvent*) {
    // Clear to see through, but for the focus a user moving it by keys
    // needs to see.
    if (hasFocus()) {
        QPainter painter(this);
        painter.fillRect(rect().adjusted(1, 0, -1, 0), palette().highlight());
    }
}

}  // namespace tallowby
