#pragma once

#include <QIcon>
#include <QList>
#include <QString>

class QWidget;

namespace tallowby {

// The square sizes held by each icon group resource, largest first.
QList<int> IconGroupSizes();

// Resource path of one image of icon group `iconName`: `size` pixels square
// at `bitsPerPixel` 32 (with alpha), 24 or 8.
QString IconImagePath(const QString& iconName, int size, int bitsPerPixel);

// The icon group as one QIcon holding its 32-bit images at every size, so
// the window system picks the exact image for each size it asks for. Null
// when the group does not exist.
QIcon LoadIconGroup(const QString& iconName);

// Gives `window` the icons of group `iconName` (large and small alike, in
// one QIcon); when `alsoOwner` is true the top-level owner (the end of the
// chain of parent windows) gets them first. The application's own icon is
// set too, so the task switcher shows it. A missing group leaves the
// windows without an icon and reports nothing.
void SetWindowIcons(QWidget* window, const QString& iconName, bool alsoOwner);

}  // namespace tallowby
