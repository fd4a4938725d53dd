#pragma once

#include <QIcon>

namespace tallowby {

// The pictures on the main window's buttons, drawn by the program itself so
// they look the same under every desktop theme.
QIcon ToggleViewIcon();
QIcon ScanIcon();
QIcon StopIcon();
QIcon OptionsIcon();
QIcon WebsiteIcon();
QIcon SelectAllIcon();
QIcon OpenFileIcon();
QIcon OpenReferrerIcon();
QIcon ExportIcon();
QIcon ExpandIcon();    // imgExpand: shown while the left panes are narrow
QIcon ContractIcon();  // imgContract: shown while they are wide

}  // namespace tallowby
