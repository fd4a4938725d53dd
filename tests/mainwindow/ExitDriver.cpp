// The desktop program as it runs for a user, with a hand on its controls: it
// opens LOGDIR, selects every file, presses Scan and then, at the given
// moment of the scan, presses CONTROL (exit: File > Exit; close: the close
// box). Its exit status is the program's. Settings come from the usual
// place (XDG_CONFIG_HOME); the page display loads nothing.
//   exit_driver LOGDIR PHASE OCCURRENCE exit|close

#include <QApplication>

#include "DesktopProgram.h"
#include "FakeWebView.h"
#include "ScanMoments.h"
#include "mainwindow/WindowScanHost.h"

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const std::optional<tallowby::testing::Phase> phase =
        args.size() == 5 ? tallowby::testing::PhaseNamed(args[2]) : std::nullopt;
    if (!phase) {
        return 64;
    }
    const tallowby::testing::Moment moment{*phase, args[3].toInt()};
    const auto control = args[4] == QLatin1String("close") ? tallowby::testing::Control::Close
                                                           : tallowby::testing::Control::Exit;
    const QString logs = args[1];

    tallowby::DesktopHooks hooks;
    hooks.services = [&](tallowby::Form1Services& services) {
        services.webView = new tallowby::testing::FakeWebView;
        services.startDirectory = logs;
    };
    hooks.shown = [&](tallowby::Form1& form) {
        QTimer::singleShot(0, &form, [&form, moment, control] {
            QTest::mouseClick(form.cmdSelAll(), Qt::LeftButton);
            form.scanHost().setYieldRate(0, 64);
            auto* watcher = new tallowby::testing::ScanWatcher(
                form, moment, [&form, control] { tallowby::testing::Press(form, control); });
            watcher->setParent(&form);
            QTest::mouseClick(form.cmdGo(), Qt::LeftButton);
        });
    };
    return tallowby::RunDesktopProgram(hooks);
}
