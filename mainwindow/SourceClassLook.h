#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

#include "engine/classify/SourceLists.h"

namespace tallowby {

// How the window shows a class of sources, in the sources view and the
// chart alike: its colour, a picture in that colour that tells the classes
// apart also without it (a magnifier, a speech bubble, a sparkle, a globe,
// a no-entry sign; drawn afresh at every call), and its caption ("Search engine", "Social network",
// "AI assistant", "Website", "Spam"; for the whole class: "Search engines", "Social networks", "AI
// assistants", "Websites", "Spam").
QColor SourceClassColour(SourceClass sourceClass);
QIcon SourceClassIcon(SourceClass sourceClass);
QString SourceClassCaption(SourceClass sourceClass);
QString SourceClassPluralCaption(SourceClass sourceClass);

}  // namespace tallowby
