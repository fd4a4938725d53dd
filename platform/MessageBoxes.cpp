#include "MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace tallowby {

QtMessageBoxes::QtMessageBoxes(std::function<QString()> defaultTitle)
    : defaultTitle_(std::move(defaultTitle)) {}

void QtMessageBoxes::Show(const QString& text, const QString& title) {
    QMessageBox box(QApplication::activeWindow());
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(title.isEmpty() && defaultTitle_ ? defaultTitle_() : title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);  // texts may quote log lines; never render them
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

}  // namespace tallowby
