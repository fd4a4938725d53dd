#pragma once

// Recording stand-ins for the services the windows reach through small
// interfaces: message boxes, the shell and the settings store. Shared by the
// Qt tests, the window benchmark and the screenshot programs, so nothing
// blocks on a box or reaches outside.

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

#include "platform/FileDialogs.h"
#include "platform/MessageBoxes.h"
#include "platform/SettingsBackend.h"
#include "platform/Shell.h"

namespace tallowby::testing {

// Records every box instead of showing it.
class RecordingMessageBoxes : public MessageBoxes {
public:
    void Show(const QString& text, const QString& title = QString()) override {
        shown.append(text);
        titles.append(title);
    }
    QStringList shown;   // the texts, in order
    QStringList titles;  // their titles, empty for the program's default
};

// Answers every save dialog with `answer` (empty: the user cancelled) and
// records what each asked: "caption|start|filter".
class RecordingFileDialogs : public FileDialogs {
public:
    QString SaveFileName(QWidget* /*parent*/, const QString& caption, const QString& start,
                         const QString& filter) override {
        asked.append(caption + QLatin1Char('|') + start + QLatin1Char('|') + filter);
        return answer;
    }
    QString answer;
    QStringList asked;
};

// Records what it opens and starts. Finds every program on PATH, or only
// those in `onPath` when it names any. What a watched program would report
// on failing is kept in `laterFailure` for the test to call.
class RecordingShell : public Shell {
public:
    ShellResult OpenUrl(const QString& address, ShellFailure failed) override {
        opened.append(address);
        laterFailure = std::move(failed);
        return openResult;
    }
    ShellResult StartDetached(const QString& program, const QStringList& arguments) override {
        started.append({program, arguments});
        return startResult;
    }
    ShellResult StartWatched(const QString& program, const QStringList& arguments,
                             ShellFailure failed) override {
        laterFailure = std::move(failed);
        return StartDetached(program, arguments);
    }
    QString FindExecutable(const QString& name) override {
        return onPath.isEmpty() || onPath.contains(name) ? QStringLiteral("/usr/bin/") + name
                                                         : QString();
    }

    QStringList onPath;
    ShellResult startResult{true, {}};
    ShellResult openResult{true, {}};
    ShellFailure laterFailure;
    QStringList opened;
    QList<std::pair<QString, QStringList>> started;
};

// An in-memory store that also records every read and write, in order, as
// "application|section|key" (writes with "=value").
class MemorySettings : public SettingsBackend {
public:
    std::optional<QString> Read(const QString& application, const QString& section,
                                const QString& key) override {
        const QString address = Address(application, section, key);
        reads.append(address);
        const auto it = values.constFind(address);
        return it == values.constEnd() ? std::nullopt : std::optional<QString>(*it);
    }
    bool Write(const QString& application, const QString& section, const QString& key,
               const QString& value) override {
        const QString address = Address(application, section, key);
        writes.append(address + QLatin1Char('=') + value);
        if (failWrites) {
            return false;
        }
        values.insert(address, value);
        return true;
    }
    QString Where(const QString& application) override {
        return QStringLiteral("/memory/") + application;
    }

    static QString Address(const QString& application, const QString& section, const QString& key) {
        return application + QLatin1Char('|') + section + QLatin1Char('|') + key;
    }

    QMap<QString, QString> values;
    QStringList reads;
    QStringList writes;
    bool failWrites = false;  // every write fails, as on a read-only settings folder
};

}  // namespace tallowby::testing
