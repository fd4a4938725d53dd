#pragma once

#include <QString>
#include <QWidget>

#include <functional>

#include "platform/WindowSlot.h"

class QTimer;

namespace tallowby {

class Shell;

// The address the launcher opens for `website`: unchanged when it contains
// "http://" or "https://" anywhere (any letter case), else "http://" + it.
QString WebsiteAddress(const QString& website);

// The launcher window: no content, shown (when at all) minimised. Its load
// step opens the product website when `siteRequest` is exactly "Website"
// and then empties it; Timer1 closes it one second after it was loaded.
// When the address cannot be handed to the desktop, or its handler gives up
// later, `openFailed` (if any) is told the address and the reason, at once
// or later on the event loop.
class frmWebsite : public QWidget {
    Q_OBJECT
public:
    using OpenFailed = std::function<void(const QString& address, const QString& reason)>;
    frmWebsite(Shell& shell, QString& siteRequest, OpenFailed openFailed = {},
               QWidget* parent = nullptr);

    QTimer* Timer1() const { return timer1_; }

public slots:
    // The tick of Timer1: the launcher unloads itself.
    void Timer1_Timer();

private:
    QTimer* timer1_ = nullptr;
};

// Opens the product website through the launcher. One instance for the run,
// owned by the main program and shared by the "Visit" button and the About
// window.
class WebsiteLauncher : public QObject {
    Q_OBJECT
public:
    explicit WebsiteLauncher(Shell& shell, QObject* parent = nullptr);
    ~WebsiteLauncher() override;

    // Requests "Website" and loads the launcher unless it is loaded already
    // (a request less than a second ago), in which case nothing more happens.
    void OpenWebsite();

    // Loads the launcher (running its load step) when it is not loaded.
    frmWebsite* Load();

    // Shows the loaded launcher minimised; nothing when it is not loaded.
    void ShowLauncher();

    // The launcher window while it is loaded, else null.
    frmWebsite* window() const { return slot_.window(); }
    bool isLoaded() const { return slot_.isLoaded(); }
    // True while the launcher is loaded and visible (shut-down waits for it).
    bool isShowing() const;

    // Names the site the next load opens; "Website" is the only value used.
    QString siteRequest;

signals:
    // The launcher has unloaded itself (or was closed).
    void launcherClosed();
    // The desktop could not open the website `address` in a browser, now or
    // a moment after the launcher handed it over.
    void openFailed(const QString& address, const QString& reason);

private:
    Shell& shell_;
    WindowSlot<frmWebsite> slot_;
};

}  // namespace tallowby
