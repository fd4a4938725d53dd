#include "WebsiteLauncher.h"

#include <QPointer>
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

frmWebsite::frmWebsite(Shell& shell, QString& siteRequest, OpenFailed openFailed, QWidget* parent)
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
    const QString address = WebsiteAddress(TheProductIdentity().website);
    // A handler that gives up says so later, perhaps after the launcher has gone.
    ShellFailure later;
    if (openFailed) {
        later = [openFailed, address](const QString& reason) { openFailed(address, reason); };
    }
    const ShellResult opened = shell.OpenUrl(address, later);
    if (!opened.ok && openFailed) {
        openFailed(address, opened.error);
    }
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
    frmWebsite* launcher = slot_.Load([this] {
        // A failure may be told after the launcher has gone, so it goes
        // through this object, which lasts the run; and always from the
        // event loop, never from inside the launcher's load step.
        QPointer<WebsiteLauncher> self(this);
        return new frmWebsite(shell_, siteRequest,
                              [self](const QString& address, const QString& reason) {
                                  QMetaObject::invokeMethod(
                                      self,
                                      [self, address, reason] {
                                          if (self) {
                                              emit self->openFailed(address, reason);
                                          }
                                      },
                                      Qt::QueuedConnection);
                              });
    });
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
