#pragma once

#include <QWidget>

namespace tallowby {

// The handle between the left frames and the browser pane: dragged with
// the mouse, or moved with the arrow keys once Tab has given it the focus.
// It only asks; the window decides where the panes go and puts the handle
// there (placeAt).
class PaneSplitter : public QWidget {
    Q_OBJECT
public:
    // Pixels the handle covers, and an arrow key moves it.
    static constexpr int kThickness = 6;
    static constexpr int kKeyStep = 10;

    explicit PaneSplitter(QWidget* parent = nullptr);

    // Puts the handle over the line at `x` (in the parent), from `top`
    // down `height` pixels.
    void placeAt(int x, int top, int height);

signals:
    // The user wants the line at `x` (in the parent's coordinates).
    void moveRequested(int x);
    // A drag ended, or a key moved the line: where it is now is kept.
    void moveFinished();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int line() const { return x() + kThickness / 2; }

    int grabOffset_ = 0;  // from the pointer to the line, while dragging
    bool dragging_ = false;
};

}  // namespace tallowby
