#include "SplashWindow.h"

#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>

#include "ProductIdentity.h"
#include "platform/WindowPlacement.h"

namespace tallowby {

namespace {

// 7170 x 4770 twips at 15 twips per pixel; the picture leaves a one-pixel
// frame around it.
constexpr int kClientWidth = 478;
constexpr int kClientHeight = 318;
constexpr int kTickMs = 2;
constexpr std::int16_t kStep = 2;
constexpr std::int16_t kHandOverAt = 150;  // the 75th tick

QLabel* TextLabel(const QString& text, int pointSize, bool bold, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSize(pointSize);
    font.setBold(bold);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    return label;
}

}  // namespace

frmSplash::frmSplash(std::function<void()> loadMainWindow, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      loadMainWindow_(std::move(loadMainWindow)) {
    setFixedSize(kClientWidth, kClientHeight);
    setStyleSheet(QStringLiteral("frmSplash { background: #0d1f3a; }"));
    auto* image1 = new QLabel(this);
    image1->setGeometry(1, 1, kClientWidth - 2, kClientHeight - 2);
    image1->setPixmap(QPixmap(QStringLiteral(":/artwork/splash.png")));

    timer2_ = new QTimer(this);
    timer2_->setInterval(kTickMs);
    connect(timer2_, &QTimer::timeout, this, &frmSplash::Timer2_Timer);

    // Load step.
    InitProductIdentity();
    const ProductIdentity& identity = TheProductIdentity();
    auto* name = TextLabel(identity.productName, 26, true, image1);
    name->move(24, 238);
    name->adjustSize();
    auto* owner = TextLabel(QStringLiteral("Version %1.%2  \u00b7  %3")
                                .arg(identity.versionMajor)
                                .arg(identity.versionMinor)
                                .arg(identity.companyName),
                            10, false, image1);
    owner->move(26, 238 + name->height() + 2);
    owner->adjustSize();
    CentreOnScreen(this);
    timer2_->start();
}

void frmSplash::Timer2_Timer() {
    intTemp_ = static_cast<std::int16_t>(intTemp_ + kStep);
    if (intTemp_ != kHandOverAt) {
        return;
    }
    timer2_->stop();
    // The main window loads while the splash is still up, then takes over.
    if (loadMainWindow_) {
        loadMainWindow_();
    }
    hide();
}

}  // namespace tallowby
