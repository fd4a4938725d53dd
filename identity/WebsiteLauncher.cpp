#include "WebsiteLauncher.h"

#include <QTimer>

#include "ProductIdentity.h"
#include "platform/Shell.h"

namespace tallowby {

namespace {

const QString kWebsiteRequest = QStringLiteral("Website");
constexpr int kUnloadAfterMs = 1000;

}  // namespace

QString WebsiteAddress(const QString& website) {
    if (website.contains(QLatin1String("https://"), Qt::CaseInsensitive) ||
        website.contains(QLatin1String("http://"), Qt::CaseInsensitive)) {
        return website;
    }
    return QStringLiteral("http://") + website;
}

frmWebsite::frmWebsite(Shell& shell, QString& siteRequest, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setWindowState(Qt::WindowMinimized);
    timer1_ = new QTimer(this);
    timer1_->setInterval(kUnloadAfterMs);
    connect(timer1_, &QTimer::timeout, this, &frmWebsite::Timer1_Timer);
    timer1_->start();

    // Load step.
    InitProductIdentity();
    setWindowTitle(TheProductIdentity().productName);
    if (siteRequest != kWebsiteRequest) {
        return;
    }
    shell.OpenUrl(WebsiteAddress(TheProductIdentity().website));  // failures stay silent
    siteRequest.clear();
}

void frmWebsite::Timer1_Timer() {
    timer1_->stop();
    close();
}

WebsiteLauncher::WebsiteLauncher(Shell& shell, QObject* parent) : QObject(parent), shell_(shell) {}

WebsiteLauncher::~WebsiteLauncher() {
    // Unloading the launcher below must not signal from a half-destroyed object.
    if (frmWebsite* launcher = slot_.window()) {
        disconnect(launcher, nullptr, this, nullptr);
    }
}

void WebsiteLauncher::OpenWebsite() {
    siteRequest = kWebsiteRequest;
    if (!slot_.isLoaded()) {
        Load();
    }
}

frmWebsite* WebsiteLauncher::Load() {
    const bool isNew = !slot_.isLoaded();
    frmWebsite* launcher = slot_.Load([this] { return new frmWebsite(shell_, siteRequest); });
    if (isNew) {
        connect(launcher, &QObject::destroyed, this, &WebsiteLauncher::launcherClosed);
    }
    return launcher;
}

void WebsiteLauncher::ShowLauncher() {
    if (frmWebsite* launcher = slot_.window()) {
        launcher->showMinimized();
    }
}

bool WebsiteLauncher::isShowing() const {
    return slot_.isLoaded() && slot_.window()->isVisible();
}

}  // namespace tallowby
