#include "MessageBoxes.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include <utility>

namespace tallowby {

namespace {

// A title bar's own furniture beside the title: the window icon and the
// minimise, maximise and close buttons of the common window managers.
constexpr int kTitleBarExtras = 150;

}  // namespace

QtMessageBoxes::QtMessageBoxes(std::function<QString()> defaultTitle)
    : defaultTitle_(std::move(defaultTitle)) {}

void QtMessageBoxes::Show(const QString& text, const QString& title) {
    const std::unique_ptr<QMessageBox> box =
        MakeMessageBox(QApplication::activeWindow(), text,
                       title.isEmpty() && defaultTitle_ ? defaultTitle_() : title);
    box->exec();
}

int TitleBarWidth(const QString& title) {
    // Title bars commonly use a bold face of the desktop's font.
    QFont font = QApplication::font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + kTitleBarExtras;
}

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& text,
                                            const QString& title) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(QMessageBox::NoIcon);
    box->setWindowTitle(title);
    box->setText(text);
    box->setTextFormat(Qt::PlainText);  // texts may quote log lines; never render them
    box->setStandardButtons(QMessageBox::Ok);
    // A box sizes itself by its text alone, and a short text under a long
    // title ("Scan Finished") had its title cut. An empty row as wide as the
    // title bar needs makes the box at least that wide.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        grid->addItem(
            new QSpacerItem(TitleBarWidth(title), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
            grid->rowCount(), 0, 1, grid->columnCount());
    }
    return box;
}

}  // namespace tallowby
