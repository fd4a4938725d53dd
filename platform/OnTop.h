#pragma once

class QWidget;

namespace tallowby {

// Puts `window` into (true) or out of (false) the band of windows that stay
// above all others, without moving, resizing, hiding or showing it. A null
// window is ignored.
void SetOnTop(QWidget* window, bool onTop);

// True when `window` carries the stay-on-top flag.
bool IsOnTop(const QWidget* window);

}  // namespace tallowby
