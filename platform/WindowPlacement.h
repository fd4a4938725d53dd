#pragma once

class QWidget;

namespace tallowby {

// Moves a top-level window so that it sits in the middle of the screen's
// available area.
void CentreOnScreen(QWidget* window);

// Moves a top-level window that is about to be shown so that its middle is
// the middle of `over` (the main window).
void CentreOver(QWidget* window, const QWidget* over);

}  // namespace tallowby
