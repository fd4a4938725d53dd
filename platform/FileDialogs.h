#pragma once

#include <QString>

class QWidget;

namespace tallowby {

// The file dialogs a window asks where to save. Windows receive this
// interface so tests can answer for the user instead of blocking on a real
// dialog.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;

    // Asks where to save a file, titled `caption`, starting at `start` (a
    // folder and the name proposed), offering the files `filter` names
    // ("CSV files (*.csv)"). Returns the path chosen, or an empty text when
    // the user cancelled. Replacing a file that exists is confirmed in the
    // dialog.
    virtual QString SaveFileName(QWidget* parent, const QString& caption, const QString& start,
                                 const QString& filter) = 0;
};

// The real dialogs: QFileDialog.
class QtFileDialogs : public FileDialogs {
public:
    QString SaveFileName(QWidget* parent, const QString& caption, const QString& start,
                         const QString& filter) override;
};

}  // namespace tallowby
