#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tallowby {

// What one directory holds, as the chooser's lists show it: its
// subdirectories and its ordinary files (symbolic links to either count as
// what they point to). Names starting with "." are hidden and left out. Both
// lists are sorted by name, letter case ignored.
struct DirectoryListing {
    bool ok = false;  // false when the directory could not be opened
    QStringList subdirectories;
    QStringList files;
    // The files' names as the directory holds them, in the order of
    // `files`: a name that is not valid UTF-8 shows with replacement
    // characters but is opened by these bytes.
    QList<QByteArray> fileBytes;
};

enum class ListingParts { Subdirectories, Files };

// Lists `path`. Cost is one directory read; file types come from the
// directory entries, so a directory of many thousands of files is quick.
DirectoryListing ListDirectory(const QString& path, ListingParts parts);

// `path` made absolute and clean ("/a/b/../c/" gives "/a/c").
QString CleanDirectoryPath(const QString& path);

// The volume of `path`: the longest of `roots` that is `path` or one of its
// ancestors; empty when none is.
QString VolumeOf(const QString& path, const QStringList& roots);

// `path` and its ancestors down to `root`, root first ("/", "/var",
// "/var/log" for "/var/log" on "/"). Just `path` when it is not under `root`.
QStringList AncestorsFrom(const QString& root, const QString& path);

// The root paths of the mounted volumes that are directories, sorted,
// without duplicates.
QStringList MountedVolumeRoots();

}  // namespace tallowby
