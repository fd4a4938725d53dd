#include "LogFileChooser.h"

#include <QDir>
#include <QFileInfo>

#include "DirectoryListing.h"
#include "engine/read/FilePaths.h"
#include "platform/MessageBoxes.h"
#include "settings/SettingsStore.h"

namespace tallowby {

namespace {

const QString kDeviceNotAvailable = QStringLiteral("Error: Device is not available");
const QString kDirectoryDoesNotExist = QStringLiteral("Error: Directory does not exist");

QString EntryCaption(const QString& path) {
    if (path == QLatin1String("/")) {
        return path;
    }
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

}  // namespace

LogFileChooser::LogFileChooser(SettingsStore& store, QString application, MessageBoxes& boxes,
                               VolumeSource volumes, QObject* parent)
    : QObject(parent),
      store_(store),
      application_(std::move(application)),
      boxes_(boxes),
      volumes_(std::move(volumes)),
      selection_(&files_) {}

void LogFileChooser::setFolderIcons(const QIcon& open, const QIcon& closed) {
    openFolder_ = open;
    closedFolder_ = closed;
}

QStringList LogFileChooser::RefreshDrives() {
    const QStringList roots = volumes_ ? volumes_() : QStringList{QStringLiteral("/")};
    if (roots != drives_.stringList()) {
        drives_.setStringList(roots);
    }
    return roots;
}

void LogFileChooser::Start(const QString& directory) {
    RefreshDrives();
    const QStringList candidates{CleanDirectoryPath(directory), QDir::homePath(),
                                 QStringLiteral("/")};
    for (const QString& candidate : candidates) {
        const DirectoryListing listing = ListDirectory(candidate, ListingParts::Subdirectories);
        if (!listing.ok) {
            continue;
        }
        drive_ = VolumeOf(candidate, drives_.stringList());
        emit driveShown(driveRow());
        ShowDirectory(candidate, listing.subdirectories);
        setFilePath(candidate);
        return;
    }
}

int LogFileChooser::driveRow() const {
    return drives_.stringList().indexOf(drive_);
}

bool LogFileChooser::setDrive(const QString& root) {
    if (root == drive_) {
        return true;
    }
    drive_ = root;
    emit driveShown(driveRow());
    return Drive1_Change();
}

bool LogFileChooser::Drive1_Change() {
    // Each drive goes back to the directory it showed last; one that has
    // gone since is replaced by its nearest ancestor that is still there.
    QString target = lastDirectoryOfDrive_.value(drive_, drive_);
    while (!target.isEmpty() && target != drive_ && !QFileInfo(target).isDir()) {
        target = QFileInfo(target).path();
    }
    if (drive_.isEmpty() || !setDirectoryPath(target.isEmpty() ? drive_ : target)) {
        boxes_.Show(kDeviceNotAvailable);
        return false;
    }
    return true;
}

bool LogFileChooser::setDirectoryPath(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    const QString clean = CleanDirectoryPath(path);
    if (!QFileInfo(clean).isDir()) {
        return false;
    }
    const DirectoryListing listing = ListDirectory(clean, ListingParts::Subdirectories);
    if (!listing.ok) {
        return false;
    }
    const bool changed = clean != directoryPath_;
    ShowDirectory(clean, listing.subdirectories);
    if (changed) {
        Dir1_Change();
    }
    return true;
}

void LogFileChooser::ShowDirectory(const QString& path, const QStringList& subdirectories) {
    directoryPath_ = path;
    const QString volume = VolumeOf(path, RefreshDrives());
    if (!volume.isEmpty()) {
        lastDirectoryOfDrive_.insert(volume, path);
    }
    directories_.clear();
    const QStringList chain = AncestorsFrom(volume, path);
    int depth = 0;
    for (const QString& ancestor : chain) {
        auto* item = new QStandardItem(openFolder_, EntryCaption(ancestor));
        item->setData(ancestor, PathRole);
        item->setData(depth++, DepthRole);
        item->setEditable(false);
        directories_.appendRow(item);
    }
    directoryRow_ = directories_.rowCount() - 1;
    const QString prefix = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    for (const QString& name : subdirectories) {
        auto* item = new QStandardItem(closedFolder_, name);
        item->setData(prefix + name, PathRole);
        item->setData(depth, DepthRole);
        item->setEditable(false);
        directories_.appendRow(item);
    }
    emit directoryShown(directoryRow_);
}

void LogFileChooser::Dir1_Change() {
    if (!setFilePath(directoryPath_)) {
        boxes_.Show(kDirectoryDoesNotExist);
        return;
    }
    store_.SaveSetting(application_, kSectionData, kKeyPath, directoryPath_);
}

bool LogFileChooser::setFilePath(const QString& path) {
    const QString clean = CleanDirectoryPath(path);
    DirectoryListing listing = ListDirectory(clean, ListingParts::Files);
    if (!listing.ok) {
        return false;
    }
    selection_.clear();
    fileBytes_ = std::move(listing.fileBytes);
    files_.setStringList(std::move(listing.files));
    filePath_ = clean;
    return true;
}

QString LogFileChooser::fileName(int index) const {
    return files_.data(files_.index(index), Qt::DisplayRole).toString();
}

QByteArray LogFileChooser::fileNameBytes(int index) const {
    if (index >= 0 && index < fileBytes_.size() && fileBytes_.size() == files_.rowCount()) {
        return fileBytes_.at(index);
    }
    return QFile::encodeName(fileName(index));
}

bool LogFileChooser::fileSelected(int index) const {
    return selection_.isSelected(files_.index(index));
}

void LogFileChooser::setFileSelected(int index, bool selected) {
    selection_.select(files_.index(index),
                      selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

std::vector<std::string> LogFileChooser::selectedFilePaths() const {
    const std::string directory = QFile::encodeName(filePath_).toStdString();
    std::vector<std::string> paths;
    for (int i = 0; i < fileCount(); ++i) {
        if (fileSelected(i)) {
            paths.push_back(JoinPath(directory, fileNameBytes(i).toStdString()));
        }
    }
    return paths;
}

QString LogFileChooser::currentFileName() const {
    const QModelIndex current = selection_.currentIndex();
    return current.isValid() ? fileName(current.row()) : QString();
}

void LogFileChooser::cmdSelAll_Click() {
    const int count = fileCount();
    if (count == 0) {
        return;
    }
    selection_.select(QItemSelection(files_.index(0), files_.index(count - 1)),
                      QItemSelectionModel::Select);
}

void LogFileChooser::RestoreSavedPath() {
    const QString saved = store_.GetSetting(application_, kSectionData, kKeyPath, QString());
    // A text that names no absolute folder has no drive to go to.
    if (saved.isEmpty() || !QDir::isAbsolutePath(saved)) {
        return;
    }
    const QString volume = VolumeOf(CleanDirectoryPath(saved), RefreshDrives());
    if (volume.isEmpty() || !setDrive(volume)) {
        return;
    }
    if (!setDirectoryPath(saved)) {
        return;
    }
    setFilePath(saved);
}

}  // namespace tallowby
