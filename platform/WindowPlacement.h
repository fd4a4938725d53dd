#pragma once

class QWidget;

namespace tallowby {

// Moves a top-level window so that it sits in the middle of the screen's
// available area.
void CentreOnScreen(QWidget* window);

}  // namespace tallowby
