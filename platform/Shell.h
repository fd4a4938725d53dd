#pragma once

#include <QString>
#include <QStringList>

namespace tallowby {

// Outcome of a shell request. `error` is a readable reason when !ok.
struct ShellResult {
    bool ok = false;
    QString error;
};

// The desktop shell: opening addresses with the user's default handler and
// starting other programs. Nothing here ever goes through a command
// interpreter: arguments reach the program exactly as given.
class Shell {
public:
    virtual ~Shell() = default;

    // Opens `address` (for example "http://host/") with the desktop's default
    // handler, usually the web browser. Returns at once.
    virtual ShellResult OpenUrl(const QString& address) = 0;

    // Starts `program` detached (the caller does not wait) with `arguments`,
    // each passed as one argument, never split or interpreted.
    virtual ShellResult StartDetached(const QString& program, const QStringList& arguments) = 0;

    // Full path of the executable `name` found on PATH; empty when not found.
    virtual QString FindExecutable(const QString& name) = 0;
};

// The real shell: QDesktopServices, QProcess::startDetached, QStandardPaths.
class QtShell : public Shell {
public:
    ShellResult OpenUrl(const QString& address) override;
    ShellResult StartDetached(const QString& program, const QStringList& arguments) override;
    QString FindExecutable(const QString& name) override;
};

}  // namespace tallowby
