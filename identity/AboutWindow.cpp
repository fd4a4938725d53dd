#include "AboutWindow.h"

#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "ProductIdentity.h"
#include "WebsiteLauncher.h"
#include "platform/WindowPlacement.h"

namespace tallowby {

namespace {

// 7455 x 2535 twips at 15 twips per pixel; the heading picture's height.
constexpr int kClientWidth = 497;
constexpr int kClientHeight = 169;
constexpr int kHeadingHeight = 68;

QFont Verdana(const QWidget* widget, int pointSize) {
    QFont font = widget->font();
    font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
    font.setPointSize(pointSize);
    font.setBold(true);
    return font;
}

QLabel* RowLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(Verdana(parent, 12));
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

frmAbout::frmAbout(WebsiteLauncher& launcher, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      launcher_(launcher) {
    setFixedSize(kClientWidth, kClientHeight);

    auto* picture1 = new QLabel(this);
    picture1->setGeometry(0, 0, kClientWidth, kHeadingHeight);
    picture1->setPixmap(QPixmap(QStringLiteral(":/artwork/about-heading.png")));
    label1_ = new QLabel(QStringLiteral("Your Program Name"), picture1);
    label1_->setFont(Verdana(this, 14));
    label1_->setTextFormat(Qt::PlainText);
    label1_->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    label1_->setGeometry(18, 0, kClientWidth - 120, kHeadingHeight - 3);

    lblVersion_ = RowLabel(QStringLiteral("Version:"), this);
    lblCompany_ = RowLabel(QStringLiteral("Owned By:"), this);
    lblWebsite_ = RowLabel(QStringLiteral("Website:"), this);
    // A link in look and behaviour: Tab reaches it (it is the window's only
    // stop), Enter or Space opens it, and it is underlined while it has the
    // focus, as a link with the focus is.
    lblWebsite_->setStyleSheet(
        QStringLiteral("QLabel { color: #0000ff; } "
                       "QLabel:focus { text-decoration: underline; }"));
    lblWebsite_->setCursor(Qt::PointingHandCursor);
    lblWebsite_->setFocusPolicy(Qt::StrongFocus);
    lblWebsite_->installEventFilter(this);

    auto* rows = new QGridLayout;
    rows->setContentsMargins(18, kHeadingHeight + 10, 18, 12);
    rows->setHorizontalSpacing(18);
    rows->setVerticalSpacing(6);
    rows->addWidget(RowLabel(QStringLiteral("Version:"), this), 0, 0);
    rows->addWidget(lblVersion_, 0, 1);
    rows->addWidget(RowLabel(QStringLiteral("Owned By:"), this), 1, 0);
    rows->addWidget(lblCompany_, 1, 1);
    rows->addWidget(RowLabel(QStringLiteral("Website:"), this), 2, 0);
    rows->addWidget(lblWebsite_, 2, 1);
    rows->setColumnStretch(1, 1);
    rows->setRowStretch(3, 1);
    setLayout(rows);
    CentreOnScreen(this);

    // Load step: what the version information says at this moment.
    const ProductIdentity identity = ReadVersionInformation(VersionInformationPath());
    setWindowTitle(QStringLiteral("About ") + identity.productName);
    label1_->setText(identity.productName);
    lblCompany_->setText(identity.companyName);
    lblVersion_->setText(
        QStringLiteral("%1.%2").arg(identity.versionMajor).arg(identity.versionMinor));
    lblWebsite_->setText(identity.website);
}

void frmAbout::lblWebsite_Click() {
    launcher_.OpenWebsite();
    launcher_.ShowLauncher();
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblWebsite_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        lblWebsite_Click();
        return true;
    }
    if (watched == lblWebsite_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            lblWebsite_Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

frmAbout* AboutWindowOpener::Open() {
    frmAbout* window = slot_.Load([this] { return new frmAbout(launcher_); });
    ShowAndBringForward(window);
    return window;
}

}  // namespace tallowby
