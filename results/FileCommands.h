#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

#include "engine/read/FileSystem.h"
#include "engine/tally/WorkList.h"
#include "output/ExportPage.h"
#include "output/Report.h"

namespace tallowby {

class MessageBoxes;
class Shell;

// Writes `path` by `write` (WriteExportPage, WriteReplacing), and says how
// it went: "saved as " and the path, or "Could not save " with the path and the
// reason, the earlier file left whole. When `path` is one of `logs` (by any
// name or link), nothing is written and a message names both. Returns
// whether the file was written.
bool SaveAndSay(const std::string& path, const std::vector<std::string>& logs,
                MessageBoxes& messageBoxes, FileSystem& fs,
                const std::function<ExportResult(FileSystem&, const std::string&)>& write);

// "Export" (cmdHtml): writes `list` as it stands to "referers.html" in
// `directory` (the log directory) and confirms with "saved as " and the
// path. On failure the earlier file stays whole and a message names the path
// and the reason. When "referers.html" is one of `logs` (the selected log
// files, by any name or link), nothing is written and a message names both.
// Returns whether the file was written. Changes no list.
bool ExportReferrers(const QString& directory, const WorkList& list,
                     const std::vector<std::string>& logs, MessageBoxes& messageBoxes,
                     FileSystem& fs = RealFileSystem());

// The name File > "Save Report…" suggests, in the log folder.
inline constexpr const char* kReportFileName = "report.html";
QString SuggestedReportPath(const QString& directory);

// File > "Save Report…": writes the report to `path` (the user's choice) and
// confirms with "saved as " and the path. A failure, or a `path` that is one
// of `logs`, is said as Export says it, and leaves an earlier file whole.
// Returns whether the file was written.
bool SaveReport(const QString& path, const ReportInput& report,
                const std::vector<std::string>& logs, MessageBoxes& messageBoxes,
                FileSystem& fs = RealFileSystem());

// The desktop's plain-text editors tried, in this order, before xdg-open.
QStringList TextEditorCandidates();
// The editor to start: the full path of the first candidate found on PATH;
// empty when there is none.
QString ChooseTextEditor(Shell& shell);

// The file "Open Selected File" opens: `directory`, "/" and `entry`; with no
// entry the directory's own path ending in "/". No doubled "/".
QString SelectedFilePath(const QString& directory, const QString& entry);

// "Open Selected File" (Command1): starts the editor detached on
// SelectedFilePath(directory, entry), the path as one argument and never
// through a shell; without an editor, xdg-open on it, watched. A message
// names the path and the reason when the editor or xdg-open cannot start,
// when xdg-open later fails (no program set up for the file), and when
// neither is installed. Returns whether a program started.
bool OpenSelectedFile(const QString& directory, const QString& entry, Shell& shell,
                      MessageBoxes& messageBoxes);

}  // namespace tallowby
