#include "DesktopProgram.h"

#include <QApplication>
#include <QScreen>

#include <memory>

#include "identity/ProductIdentity.h"
#include "identity/SplashWindow.h"
#include "identity/WebsiteLauncher.h"
#include "mainwindow/Form1.h"
#include "platform/PlatformServices.h"

namespace tallowby {

int RunDesktopProgram(const DesktopHooks& hooks) {
    // Closing the main window decides when the run ends (it may wait for the
    // website launcher), not the last window that happens to close.
    QApplication::setQuitOnLastWindowClosed(false);
    InitProductIdentity();

    const PlatformServices platform = RealPlatformServices();
    WebsiteLauncher launcher(platform.shell);
    std::unique_ptr<Form1> mainWindow;

    frmSplash splash([&] {
        Form1Services services{platform, launcher, EndProgram};
        if (hooks.services) {
            hooks.services(services);
        }
        mainWindow = std::make_unique<Form1>(std::move(services));
        // Without a window manager nobody maximises the window, so it is
        // given the screen's working area first.
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            mainWindow->setGeometry(screen->availableGeometry());
        }
        mainWindow->showMaximized();
        if (hooks.shown) {
            hooks.shown(*mainWindow);
        }
    });
    splash.show();
    const int status = QApplication::exec();
    // Windows go before the services they use.
    mainWindow.reset();
    return status;
}

}  // namespace tallowby
