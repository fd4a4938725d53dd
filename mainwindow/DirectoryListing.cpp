#include "DirectoryListing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

namespace tallowby {

namespace {

bool NameBefore(const QString& a, const QString& b) {
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

void SortNames(QStringList& names) {
    std::sort(names.begin(), names.end(), NameBefore);
}

bool IsUnder(const QString& root, const QString& path) {
    if (path == root) {
        return true;
    }
    if (!path.startsWith(root)) {
        return false;
    }
    return root.endsWith(QLatin1Char('/')) || path.at(root.size()) == QLatin1Char('/');
}

}  // namespace

DirectoryListing ListDirectory(const QString& path, ListingParts parts) {
    namespace fs = std::filesystem;
    DirectoryListing listing;
    std::error_code ec;
    fs::directory_iterator it(fs::path(QFile::encodeName(path).toStdString()), ec);
    if (ec) {
        return listing;
    }
    std::vector<std::pair<QString, QByteArray>> files;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) {
            break;  // what was read so far is shown
        }
        const std::string& full = it->path().native();
        const std::size_t slash = full.rfind('/');
        const char* name = full.c_str() + (slash == std::string::npos ? 0 : slash + 1);
        if (name[0] == '.') {
            continue;
        }
        std::error_code typeError;
        // The entry's type comes from the directory read; only symbolic
        // links cost a look at their target.
        if (parts == ListingParts::Files) {
            if (it->is_regular_file(typeError)) {
                const QByteArray bytes(name);
                files.emplace_back(QFile::decodeName(bytes), bytes);
            }
        } else if (it->is_directory(typeError)) {
            listing.subdirectories.append(QFile::decodeName(name));
        }
    }
    SortNames(listing.subdirectories);
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return NameBefore(a.first, b.first) ||
               (!NameBefore(b.first, a.first) && a.second < b.second);
    });
    for (auto& [shown, bytes] : files) {
        listing.files.append(std::move(shown));
        listing.fileBytes.append(std::move(bytes));
    }
    listing.ok = true;
    return listing;
}

QString CleanDirectoryPath(const QString& path) {
    return QDir::cleanPath(QDir(path).absolutePath());
}

QString VolumeOf(const QString& path, const QStringList& roots) {
    QString best;
    for (const QString& root : roots) {
        if (IsUnder(root, path) && root.size() > best.size()) {
            best = root;
        }
    }
    return best;
}

QStringList AncestorsFrom(const QString& root, const QString& path) {
    if (root.isEmpty() || !IsUnder(root, path)) {
        return {path};
    }
    QStringList chain{root};
    qsizetype from = root.size();
    while (from < path.size()) {
        qsizetype next = path.indexOf(QLatin1Char('/'), from + 1);
        if (next < 0) {
            next = path.size();
        }
        if (next > from + 1 || path.at(from) != QLatin1Char('/')) {
            chain.append(path.left(next));
        }
        from = next;
    }
    return chain;
}

QStringList MountedVolumeRoots() {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        // Files mounted onto files (container set-ups do this) hold no logs.
        if (!root.isEmpty() && QFileInfo(root).isDir() && !roots.contains(root)) {
            roots.append(root);
        }
    }
    if (roots.isEmpty()) {
        roots.append(QStringLiteral("/"));
    }
    std::sort(roots.begin(), roots.end());
    return roots;
}

}  // namespace tallowby
