// Shows the foundation windows on their own and saves what they draw as PNG
// files, for the screenshots in docs/. Run under xvfb-run:
//   tallowby_foundation_screenshots OUTPUT_DIR
// Settings go to a throw-away folder, never the user's own.

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include "WindowFakes.h"
#include "identity/AboutWindow.h"
#include "identity/ProductIdentity.h"
#include "identity/SplashWindow.h"
#include "identity/WebsiteLauncher.h"
#include "identity/WindowIcons.h"
#include "settings/AppSettings.h"
#include "settings/HelpWindow.h"
#include "settings/OptionsDialog.h"
#include "settings/SettingsStore.h"

using namespace tallowby;

namespace {

bool Save(QWidget* window, const QString& path) {
    window->show();
    window->raise();
    if (!QTest::qWaitForWindowExposed(window)) {
        return false;
    }
    QTest::qWait(200);  // let fonts and layouts settle before the grab
    return window->grab().save(path);
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    if (argc != 2) {
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    InitProductIdentity();
    const QString product = TheProductIdentity().productName;

    testing::MemorySettings backend;
    SettingsStore store(backend);
    AppSettings settings;
    LoadSettings(store, product, settings);
    testing::RecordingShell shell;
    WebsiteLauncher launcher(shell);

    bool ok = true;
    OptionsDialogOpener options(store, product, settings);
    SetWindowIcons(options.Open(), QStringLiteral("AAA"), false);
    ok &= Save(options.window(), out.filePath(QStringLiteral("options-dialog.png")));
    options.Unload();

    HelpWindowOpener help(store, product, QStringLiteral(TALLOWBY_HELP_RTF));
    ok &= Save(help.Open(), out.filePath(QStringLiteral("help-window.png")));
    // Further down: the lists with their hanging indents.
    QTextEdit* text = help.window()->rtf1();
    text->moveCursor(QTextCursor::End);
    text->find(QStringLiteral("The results list"), QTextDocument::FindBackward);
    text->moveCursor(QTextCursor::StartOfBlock);
    text->ensureCursorVisible();
    ok &= Save(help.window(), out.filePath(QStringLiteral("help-window-lists.png")));
    help.Unload();

    frmSplash splash([] {});
    splash.Timer2()->stop();
    ok &= Save(&splash, out.filePath(QStringLiteral("splash.png")));
    splash.hide();

    AboutWindowOpener about(launcher);
    ok &= Save(about.Open(), out.filePath(QStringLiteral("about.png")));
    return ok ? 0 : 1;
}
