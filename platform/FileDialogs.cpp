#include "FileDialogs.h"

#include <QFileDialog>

namespace tallowby {

QString QtFileDialogs::SaveFileName(QWidget* parent, const QString& caption, const QString& start,
                                    const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, start, filter);
}

}  // namespace tallowby
