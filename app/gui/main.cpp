// The desktop program: the splash window first, which hands over to the
// main window on its 75th tick.

#include <QApplication>
#include <QScreen>

#include <memory>

#include "identity/ProductIdentity.h"
#include "identity/SplashWindow.h"
#include "identity/WebsiteLauncher.h"
#include "mainwindow/Form1.h"
#include "platform/PlatformServices.h"

int main(int argc, char** argv) {
    // The browser pane's engine shares OpenGL contexts with the widgets; Qt
    // wants to know before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // Closing the main window decides when the run ends (it may wait for the
    // website launcher), not the last window that happens to close.
    QApplication::setQuitOnLastWindowClosed(false);
    tallowby::InitProductIdentity();

    const tallowby::PlatformServices platform = tallowby::RealPlatformServices();
    tallowby::WebsiteLauncher launcher(platform.shell);
    std::unique_ptr<tallowby::Form1> mainWindow;

    tallowby::frmSplash splash([&] {
        tallowby::Form1Services services{platform, launcher, tallowby::EndProgram};
        mainWindow = std::make_unique<tallowby::Form1>(std::move(services));
        // Without a window manager nobody maximises the window, so it is
        // given the screen's working area first.
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            mainWindow->setGeometry(screen->availableGeometry());
        }
        mainWindow->showMaximized();
    });
    splash.show();
    const int status = QApplication::exec();
    // Windows go before the services they use.
    mainWindow.reset();
    return status;
}
