#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace tallowby {

// Outcome of a shell request. `error` is a readable reason when !ok.
struct ShellResult {
    bool ok = false;
    QString error;
};

// Told, once and later on the event loop, that a program started for a
// request ended in failure; `reason` is readable.
using ShellFailure = std::function<void(const QString& reason)>;

// The desktop shell: opening addresses with the user's default handler and
// starting other programs. Nothing here ever goes through a command
// interpreter: arguments reach the program exactly as given.
class Shell {
public:
    virtual ~Shell() = default;

    // Opens `address` (for example "http://host/") with the desktop's default
    // handler, usually the web browser. Returns at once: not ok when there is
    // no program to hand it to; when the handler starts and then gives up (no
    // browser set up, say), `failed` (if any) is told later.
    virtual ShellResult OpenUrl(const QString& address, ShellFailure failed) = 0;

    // Starts `program` detached (the caller does not wait) with `arguments`,
    // each passed as one argument, never split or interpreted.
    virtual ShellResult StartDetached(const QString& program, const QStringList& arguments) = 0;

    // Starts `program` with `arguments` as StartDetached does, and watches
    // it: an exit with a status other than 0, or a crash, is told to
    // `failed` later. For openers that hand the work on (xdg-open); one
    // still running when this program ends is ended with it.
    virtual ShellResult StartWatched(const QString& program, const QStringList& arguments,
                                     ShellFailure failed) = 0;

    // Full path of the executable `name` found on PATH; empty when not found.
    virtual QString FindExecutable(const QString& name) = 0;
};

// The desktop's opener, which the shell hands addresses and files to.
inline const QString kDesktopOpener = QStringLiteral("xdg-open");

// The real shell: xdg-open (watched) for addresses, QDesktopServices where
// it is missing; QProcess to start programs; QStandardPaths to find them.
class QtShell : public Shell {
public:
    ShellResult OpenUrl(const QString& address, ShellFailure failed) override;
    ShellResult StartDetached(const QString& program, const QStringList& arguments) override;
    ShellResult StartWatched(const QString& program, const QStringList& arguments,
                             ShellFailure failed) override;
    QString FindExecutable(const QString& name) override;

    // The reason told for `program` ending with `exitCode` (or crashing):
    // xdg-open's documented statuses in words, else the bare status.
    static QString FailureReason(const QString& program, int exitCode, bool crashed);
};

}  // namespace tallowby
