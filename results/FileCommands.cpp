#include "FileCommands.h"

#include <QFile>

#include <functional>

#include "engine/match/ShownText.h"
#include "engine/read/FilePaths.h"
#include "output/ExportPage.h"
#include "platform/MessageBoxes.h"
#include "platform/Shell.h"

namespace tallowby {

bool SaveAndSay(const std::string& path, const std::vector<std::string>& logs,
                MessageBoxes& messageBoxes, FileSystem& fs,
                const std::function<ExportResult(FileSystem&, const std::string&)>& write) {
    const QString shownPath = QString::fromStdString(EscapeControlBytes(path));
    const std::ptrdiff_t log = FindSameFile(fs, path, logs);
    if (log >= 0) {
        messageBoxes.Show(
            QStringLiteral("Could not save ") + shownPath +
            QStringLiteral(": it would replace the selected log ") +
            QString::fromStdString(EscapeControlBytes(logs[static_cast<std::size_t>(log)])));
        return false;
    }
    const ExportResult result = write(fs, path);
    if (!result.ok) {
        QString text = QStringLiteral("Could not save ") + shownPath;
        if (!result.error.empty()) {
            text += QStringLiteral(": ") + QString::fromLocal8Bit(result.error.c_str());
        }
        messageBoxes.Show(text);
        return false;
    }
    messageBoxes.Show(QFile::decodeName(QByteArray::fromStdString(ExportSavedMessage(path))));
    return true;
}

bool ExportReferrers(const QString& directory, const WorkList& list,
                     const std::vector<std::string>& logs, MessageBoxes& messageBoxes,
                     FileSystem& fs) {
    // File names are bytes on this platform: QFile's encoding round-trips
    // any name the chooser could show.
    const std::string path = ExportPagePath(QFile::encodeName(directory).toStdString());
    return SaveAndSay(path, logs, messageBoxes, fs,
                      [&list](FileSystem& to, const std::string& where) {
                          return WriteExportPage(to, where, list);
                      });
}

QString SuggestedReportPath(const QString& directory) {
    return QFile::decodeName(QByteArray::fromStdString(
        JoinPath(QFile::encodeName(directory).toStdString(), kReportFileName)));
}

bool SaveReport(const QString& path, const ReportInput& report,
                const std::vector<std::string>& logs, MessageBoxes& messageBoxes, FileSystem& fs) {
    return SaveAndSay(QFile::encodeName(path).toStdString(), logs, messageBoxes, fs,
                      [&report](FileSystem& to, const std::string& where) {
                          return WriteReport(to, where, report);
                      });
}

QStringList TextEditorCandidates() {
    return {QStringLiteral("gnome-text-editor"),
            QStringLiteral("gedit"),
            QStringLiteral("kate"),
            QStringLiteral("kwrite"),
            QStringLiteral("mousepad"),
            QStringLiteral("pluma"),
            QStringLiteral("xed"),
            QStringLiteral("featherpad"),
            QStringLiteral("leafpad")};
}

QString ChooseTextEditor(Shell& shell) {
    for (const QString& name : TextEditorCandidates()) {
        const QString found = shell.FindExecutable(name);
        if (!found.isEmpty()) {
            return found;
        }
    }
    return {};
}

QString SelectedFilePath(const QString& directory, const QString& entry) {
    if (directory.endsWith(QLatin1Char('/'))) {
        return directory + entry;
    }
    return directory + QLatin1Char('/') + entry;
}

bool OpenSelectedFile(const QString& directory, const QString& entry, Shell& shell,
                      MessageBoxes& messageBoxes) {
    const QString path = SelectedFilePath(directory, entry);
    const QString editor = ChooseTextEditor(shell);
    if (!editor.isEmpty()) {
        const ShellResult started = shell.StartDetached(editor, {path});
        if (!started.ok) {
            messageBoxes.Show(QStringLiteral("Could not start ") + editor + QStringLiteral(" on ") +
                              path + QStringLiteral(": ") + started.error);
        }
        return started.ok;
    }
    const QString opener = shell.FindExecutable(kDesktopOpener);
    if (opener.isEmpty()) {
        messageBoxes.Show(QStringLiteral("Could not open ") + path +
                          QStringLiteral(": no text editor was found. Install one of ") +
                          TextEditorCandidates().join(QStringLiteral(", ")) +
                          QStringLiteral(", or the package xdg-utils for ") + kDesktopOpener +
                          QLatin1Char('.'));
        return false;
    }
    const QString cannotOpen = QStringLiteral("Could not open ") + path + QStringLiteral(": ");
    const ShellResult started =
        shell.StartWatched(opener, {path}, [&messageBoxes, cannotOpen](const QString& reason) {
            messageBoxes.Show(cannotOpen + reason);
        });
    if (!started.ok) {
        messageBoxes.Show(QStringLiteral("Could not start ") + opener + QStringLiteral(" on ") +
                          path + QStringLiteral(": ") + started.error);
    }
    return started.ok;
}

}  // namespace tallowby
