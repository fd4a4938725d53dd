#include "Shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace tallowby {

ShellResult QtShell::OpenUrl(const QString& address, ShellFailure failed) {
    const QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid()) {
        return {false, url.errorString()};
    }
    // Qt's own call hands the address to xdg-open too, but never learns
    // whether xdg-open found a program for it.
    const QString opener = FindExecutable(kDesktopOpener);
    if (!opener.isEmpty()) {
        return StartWatched(opener, {url.toString(QUrl::FullyEncoded)}, std::move(failed));
    }
    // Without it Qt still tries what the desktop offers ($BROWSER and the like).
    if (!QDesktopServices::openUrl(url)) {
        return {false, QStringLiteral("no program to open it was found (%1, of the package "
                                      "xdg-utils, is not installed)")
                           .arg(kDesktopOpener)};
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

ShellResult QtShell::StartWatched(const QString& program, const QStringList& arguments,
                                  ShellFailure failed) {
    // Owned by the application, so one still running at the end goes with
    // it. Its output goes where this program's goes: a pipe nobody reads
    // would stall whatever the opener starts in the foreground.
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProgram(program);
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start();
    if (!process->waitForStarted()) {
        const QString error = process->errorString();
        delete process;
        return {false, error};
    }
    QObject::connect(
        process, &QProcess::finished, process,
        [process, program, failed = std::move(failed)](int exitCode, QProcess::ExitStatus status) {
            const bool crashed = status != QProcess::NormalExit;
            if (failed && (crashed || exitCode != 0)) {
                failed(FailureReason(program, exitCode, crashed));
            }
            process->deleteLater();
        });
    return {true, {}};
}

QString QtShell::FindExecutable(const QString& name) {
    return QStandardPaths::findExecutable(name);
}

QString QtShell::FailureReason(const QString& program, int exitCode, bool crashed) {
    const QString name = QFileInfo(program).fileName();
    if (crashed) {
        return name + QStringLiteral(" crashed");
    }
    if (name == kDesktopOpener) {
        switch (exitCode) {
            case 2:
                return name + QStringLiteral(": the file does not exist");
            case 3:
                return name + QStringLiteral(" found no program set up to open it");
            case 4:
                return name + QStringLiteral(": the program set up to open it failed");
            default:
                break;
        }
    }
    return name + QStringLiteral(" ended with status %1").arg(exitCode);
}

}  // namespace tallowby
