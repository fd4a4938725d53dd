#pragma once

#include <QWidget>

#include "platform/WindowSlot.h"

class QLabel;

namespace tallowby {

class WebsiteLauncher;

// The About window: product name, version (major.minor), owner and website,
// read from the version information when it loads. Clicking the website
// opens it through the launcher and shows the launcher.
class frmAbout : public QWidget {
    Q_OBJECT
public:
    explicit frmAbout(WebsiteLauncher& launcher, QWidget* parent = nullptr);

    QLabel* Label1() const { return label1_; }
    QLabel* lblVersion() const { return lblVersion_; }
    QLabel* lblCompany() const { return lblCompany_; }
    QLabel* lblWebsite() const { return lblWebsite_; }

public slots:
    void lblWebsite_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WebsiteLauncher& launcher_;
    QLabel* label1_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    QLabel* lblCompany_ = nullptr;
    QLabel* lblWebsite_ = nullptr;
};

// The main window's "About this software": loads the window when none is
// open, then shows it modeless and brings it forward.
class AboutWindowOpener {
public:
    explicit AboutWindowOpener(WebsiteLauncher& launcher) : launcher_(launcher) {}

    frmAbout* Open();
    void Unload() { slot_.Unload(); }
    frmAbout* window() const { return slot_.window(); }
    bool isLoaded() const { return slot_.isLoaded(); }

private:
    WebsiteLauncher& launcher_;
    WindowSlot<frmAbout> slot_;
};

}  // namespace tallowby
