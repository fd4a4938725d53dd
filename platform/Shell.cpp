#include "Shell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace tallowby {

ShellResult QtShell::OpenUrl(const QString& address) {
    const QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid()) {
        return {false, url.errorString()};
    }
    if (!QDesktopServices::openUrl(url)) {
        return {false, QStringLiteral("No program could open %1").arg(address)};
    }
    return {true, {}};
}

ShellResult QtShell::StartDetached(const QString& program, const QStringList& arguments) {
    // QProcess::startDetached(program, arguments) execs the program directly:
    // no shell ever sees the arguments, so log-derived text cannot inject.
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        return {false, process.errorString()};
    }
    return {true, {}};
}

QString QtShell::FindExecutable(const QString& name) {
    return QStandardPaths::findExecutable(name);
}

}  // namespace tallowby
