#pragma once

#include <QHash>
#include <QIcon>
#include <QItemSelectionModel>
#include <QObject>
#include <QStandardItemModel>
#include <QString>
#include <QStringListModel>

#include <functional>
#include <string>
#include <vector>

namespace tallowby {

class MessageBoxes;
class SettingsStore;

// The log file chooser behind the "Select Log Files" frame: the drive list
// (mounted volumes), the directory list (the current directory's ancestors
// from its volume's root, then its subdirectories) and the file list (every
// ordinary file of a directory, several selectable at once, one current
// entry). It holds the lists' models; the window only shows them. Every
// directory change is stored at once as "path" in section "data".
class LogFileChooser : public QObject {
    Q_OBJECT
public:
    using VolumeSource = std::function<QStringList()>;

    // Roles of the directory list's entries.
    static constexpr int PathRole = Qt::UserRole;
    static constexpr int DepthRole = Qt::UserRole + 1;

    LogFileChooser(SettingsStore& store, QString application, MessageBoxes& boxes,
                   VolumeSource volumes, QObject* parent = nullptr);

    // Where the lists start: `directory` when it can be listed, else the
    // home folder, else "/". Stores nothing.
    void Start(const QString& directory);

    // The settings store's application name, known once the product
    // identity has been read.
    void setApplication(const QString& application) { application_ = application; }

    // Pictures of the directory list: ancestors (open) and subdirectories.
    void setFolderIcons(const QIcon& open, const QIcon& closed);

    // --- Drive list.
    QStringListModel* driveModel() { return &drives_; }
    QString drive() const { return drive_; }
    int driveRow() const;
    // Makes `root` the current drive; when that changes it, Drive1_Change
    // runs. False when the drive change failed (reported by its message).
    bool setDrive(const QString& root);
    // The drive changed: the directory list moves to the drive's last
    // directory (its root at first). "Error: Device is not available" when
    // that cannot be read; the other lists then stay where they were.
    bool Drive1_Change();

    // --- Directory list.
    QStandardItemModel* directoryModel() { return &directories_; }
    QString directoryPath() const { return directoryPath_; }
    int directoryRow() const { return directoryRow_; }
    // Moves the directory list to `path`. False, changing nothing, when it
    // is not a directory that can be read; otherwise Dir1_Change runs when
    // the path differs from the current one.
    bool setDirectoryPath(const QString& path);
    // The directory changed: the file list follows and "path" is stored;
    // "Error: Directory does not exist" when the file list cannot follow
    // (nothing is stored then).
    void Dir1_Change();

    // --- File list.
    QStringListModel* fileModel() { return &files_; }
    QItemSelectionModel* fileSelection() { return &selection_; }
    QString filePath() const { return filePath_; }
    // Lists `path` with nothing selected and no current entry. False,
    // changing nothing, when it cannot be listed.
    bool setFilePath(const QString& path);
    int fileCount() const { return files_.rowCount(); }
    QString fileName(int index) const;
    // The entry's name as the directory holds it (bytes), for opening it.
    QByteArray fileNameBytes(int index) const;
    bool fileSelected(int index) const;
    void setFileSelected(int index, bool selected);
    // The paths of the selected entries, as bytes, as a scan opens them.
    std::vector<std::string> selectedFilePaths() const;
    // The entry with the focus; empty when there is none.
    QString currentFileName() const;

    // "Select All Files": every entry becomes selected; nothing else changes.
    void cmdSelAll_Click();

    // Brings back the stored "path" at start-up: the drive holding it, then
    // the directory, then the file list. Ends quietly at the first step that
    // fails; messages of the change handlers it sets off still appear.
    void RestoreSavedPath();

signals:
    void driveShown(int row);
    void directoryShown(int row);

private:
    void ShowDirectory(const QString& path, const QStringList& subdirectories);
    QStringList RefreshDrives();

    SettingsStore& store_;
    QString application_;
    MessageBoxes& boxes_;
    VolumeSource volumes_;
    QIcon openFolder_;
    QIcon closedFolder_;

    QStringListModel drives_;
    QString drive_;
    QHash<QString, QString> lastDirectoryOfDrive_;

    QStandardItemModel directories_;
    QString directoryPath_;
    int directoryRow_ = -1;

    QStringListModel files_;
    QList<QByteArray> fileBytes_;  // per entry of files_
    QItemSelectionModel selection_;
    QString filePath_;
};

}  // namespace tallowby
