#pragma once

#include <QString>

namespace tallowby {

// Puts `text` on the desktop's clipboard (and its selection, where it has
// one, for a middle-click paste).
void PutOnClipboard(const QString& text);

}  // namespace tallowby
