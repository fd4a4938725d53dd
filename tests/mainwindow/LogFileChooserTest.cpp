#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "QtTestMain.h"
#include "WindowFakes.h"
#include "mainwindow/DirectoryListing.h"
#include "mainwindow/LogFileChooser.h"
#include "settings/SettingsStore.h"

namespace tallowby {

using testing::MemorySettings;
using testing::RecordingMessageBoxes;

namespace {

const QString kApp = QStringLiteral("Tallowby");
const QString kPathAddress = MemorySettings::Address(kApp, kSectionData, kKeyPath);

void Touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

// A chooser over fakes, with the drives given.
struct Rig {
    explicit Rig(QStringList drives)
        : store(settings), chooser(store, kApp, boxes, [drives] { return drives; }) {}
    MemorySettings settings;
    SettingsStore store;
    RecordingMessageBoxes boxes;
    LogFileChooser chooser;

    QStringList messages() const { return boxes.shown; }
    QStringList directoryPaths() {
        QStringList paths;
        for (int row = 0; row < chooser.directoryModel()->rowCount(); ++row) {
            paths.append(
                chooser.directoryModel()->item(row)->data(LogFileChooser::PathRole).toString());
        }
        return paths;
    }
};

}  // namespace

class LogFileChooserTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        root_ = dir_.path();
        QVERIFY(QDir(root_).mkpath(QStringLiteral("logs/www")));
        QVERIFY(QDir(root_).mkpath(QStringLiteral("logs/.cache")));
        QVERIFY(QDir(root_).mkpath(QStringLiteral("other")));
        Touch(root_ + QStringLiteral("/logs/b.log"));
        Touch(root_ + QStringLiteral("/logs/A.log"));
        Touch(root_ + QStringLiteral("/logs/c.txt"));
        Touch(root_ + QStringLiteral("/logs/.hidden.log"));
        QVERIFY(QFile::link(root_ + QStringLiteral("/logs/b.log"),
                            root_ + QStringLiteral("/logs/link.log")));
    }
    void cleanup() {
        QVERIFY(dir_.remove());
        dir_ = QTemporaryDir();
    }

    void startStoresNothingAndListsTheFolder() {
        Rig rig({QStringLiteral("/")});
        rig.chooser.Start(root_ + QStringLiteral("/logs"));
        QCOMPARE(rig.settings.writes, QStringList());
        QCOMPARE(rig.chooser.drive(), QStringLiteral("/"));
        QCOMPARE(rig.chooser.filePath(), root_ + QStringLiteral("/logs"));
        // Every ordinary file, no name filter, hidden ones left out, letter
        // case ignored in the order; a link counts as what it points to.
        QCOMPARE(rig.chooser.fileModel()->stringList(),
                 QStringList({"A.log", "b.log", "c.txt", "link.log"}));
        // The directory list: the ancestors from the volume's root, the
        // current folder, then its visible subdirectories.
        const QStringList paths = rig.directoryPaths();
        QCOMPARE(paths.first(), QStringLiteral("/"));
        QCOMPARE(paths.at(rig.chooser.directoryRow()), root_ + QStringLiteral("/logs"));
        QCOMPARE(paths.mid(rig.chooser.directoryRow() + 1),
                 QStringList({root_ + QStringLiteral("/logs/www")}));
    }

    void directoryChangeListsFilesDropsSelectionAndStoresPath() {
        Rig rig({QStringLiteral("/")});
        rig.chooser.Start(root_ + QStringLiteral("/logs"));
        rig.chooser.cmdSelAll_Click();
        QVERIFY(rig.chooser.fileSelected(3));
        QVERIFY(rig.chooser.setDirectoryPath(root_ + QStringLiteral("/logs/www/..")));
        QCOMPARE(rig.settings.writes, QStringList());  // same folder: no change

        Touch(root_ + QStringLiteral("/other/x.log"));
        QVERIFY(rig.chooser.setDirectoryPath(root_ + QStringLiteral("/other")));
        QCOMPARE(rig.chooser.fileModel()->stringList(), QStringList({"x.log"}));
        QVERIFY(!rig.chooser.fileSelected(0));
        QCOMPARE(rig.chooser.currentFileName(), QString());
        QCOMPARE(rig.settings.values.value(kPathAddress), root_ + QStringLiteral("/other"));
        QCOMPARE(rig.messages(), QStringList());

        // A folder that is not there changes nothing and stores nothing.
        QVERIFY(!rig.chooser.setDirectoryPath(root_ + QStringLiteral("/gone")));
        QCOMPARE(rig.chooser.directoryPath(), root_ + QStringLiteral("/other"));
        QCOMPARE(rig.settings.writes.size(), 1);
    }

    void directoryChangeThatCannotListReportsAndStoresNothing() {
        Rig rig({QStringLiteral("/")});
        rig.chooser.Start(root_ + QStringLiteral("/logs"));
        QVERIFY(rig.chooser.setDirectoryPath(root_ + QStringLiteral("/logs/www")));
        const int writes = rig.settings.writes.size();
        // The folder goes away between the directory list and the file list.
        QVERIFY(QDir(root_ + QStringLiteral("/logs/www")).removeRecursively());
        rig.chooser.Dir1_Change();
        QCOMPARE(rig.messages(), QStringList({"Error: Directory does not exist"}));
        QCOMPARE(rig.settings.writes.size(), writes);
    }

    void selectAllSelectsEveryEntryAndKeepsEarlierOnes() {
        Rig rig({QStringLiteral("/")});
        rig.chooser.Start(root_ + QStringLiteral("/other"));
        rig.chooser.cmdSelAll_Click();  // empty folder: nothing happens
        QCOMPARE(rig.chooser.fileCount(), 0);

        QVERIFY(rig.chooser.setDirectoryPath(root_ + QStringLiteral("/logs")));
        rig.chooser.setFileSelected(1, true);
        rig.chooser.cmdSelAll_Click();
        for (int i = 0; i < rig.chooser.fileCount(); ++i) {
            QVERIFY(rig.chooser.fileSelected(i));
        }
    }

    void driveChangeGoesToTheDrivesLastDirectory() {
        const QString other = root_ + QStringLiteral("/other");
        Rig rig({QStringLiteral("/"), other});
        rig.chooser.Start(root_ + QStringLiteral("/logs"));
        QVERIFY(rig.chooser.setDrive(other));
        QCOMPARE(rig.chooser.directoryPath(), other);
        QCOMPARE(rig.settings.values.value(kPathAddress), other);
        // The directory list starts at the volume's root.
        QCOMPARE(rig.directoryPaths().first(), other);

        QVERIFY(rig.chooser.setDrive(QStringLiteral("/")));
        QCOMPARE(rig.chooser.directoryPath(), root_ + QStringLiteral("/logs"));
        QCOMPARE(rig.messages(), QStringList());
    }

    void unavailableDriveIsReportedAndNothingElseChanges() {
        const QString missing = root_ + QStringLiteral("/no-medium");
        Rig rig({QStringLiteral("/"), missing});
        rig.chooser.Start(root_ + QStringLiteral("/logs"));
        QVERIFY(!rig.chooser.setDrive(missing));
        QCOMPARE(rig.messages(), QStringList({"Error: Device is not available"}));
        QCOMPARE(rig.chooser.drive(), missing);  // the drive list shows the new drive
        QCOMPARE(rig.chooser.directoryPath(), root_ + QStringLiteral("/logs"));
        QCOMPARE(rig.chooser.filePath(), root_ + QStringLiteral("/logs"));
        QCOMPARE(rig.settings.writes, QStringList());
    }

    void restoreBringsBackTheStoredFolder() {
        Rig rig({QStringLiteral("/")});
        rig.settings.values.insert(kPathAddress, root_ + QStringLiteral("/logs/www"));
        rig.chooser.Start(root_ + QStringLiteral("/other"));
        rig.chooser.RestoreSavedPath();
        QCOMPARE(rig.chooser.directoryPath(), root_ + QStringLiteral("/logs/www"));
        QCOMPARE(rig.chooser.filePath(), root_ + QStringLiteral("/logs/www"));
        QCOMPARE(rig.messages(), QStringList());
    }

    void restoreOfDeletedFolderIsSilent_data() {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<bool>("onOtherDrive");
        QTest::newRow("same drive") << QStringLiteral("/logs/deleted") << false;
        QTest::newRow("other drive") << QStringLiteral("/other/deleted") << true;
        QTest::newRow("relative text") << QStringLiteral("logs") << false;
    }
    void restoreOfDeletedFolderIsSilent() {
        QFETCH(QString, saved);
        QFETCH(bool, onOtherDrive);
        const QString other = root_ + QStringLiteral("/other");
        Rig rig({QStringLiteral("/"), other});
        const QString stored = saved.startsWith(QLatin1Char('/')) ? root_ + saved : saved;
        rig.settings.values.insert(kPathAddress, stored);
        rig.chooser.Start(root_ + QStringLiteral("/logs"));
        rig.chooser.RestoreSavedPath();
        QCOMPARE(rig.messages(), QStringList());
        if (onOtherDrive) {
            // The drive change ran and stored that drive's directory.
            QCOMPARE(rig.chooser.directoryPath(), other);
            QCOMPARE(rig.settings.values.value(kPathAddress), other);
        } else {
            QCOMPARE(rig.chooser.directoryPath(), root_ + QStringLiteral("/logs"));
            QCOMPARE(rig.settings.values.value(kPathAddress), stored);
        }
    }

    void restoreOnUnavailableDriveReportsTheDevice() {
        const QString missing = root_ + QStringLiteral("/no-medium");
        Rig rig({QStringLiteral("/"), missing});
        rig.settings.values.insert(kPathAddress, missing + QStringLiteral("/logs"));
        rig.chooser.Start(root_ + QStringLiteral("/logs"));
        rig.chooser.RestoreSavedPath();
        QCOMPARE(rig.messages(), QStringList({"Error: Device is not available"}));
        QCOMPARE(rig.chooser.directoryPath(), root_ + QStringLiteral("/logs"));
    }

    void manyFilesListQuickly() {
        const QString big = root_ + QStringLiteral("/big");
        QVERIFY(QDir().mkpath(big));
        for (int i = 0; i < 50000; ++i) {
            Touch(big + QStringLiteral("/access-%1.log").arg(i, 5, 10, QLatin1Char('0')));
        }
        Rig rig({QStringLiteral("/")});
        rig.chooser.Start(root_);
        QVERIFY(rig.chooser.setDirectoryPath(big));
        rig.chooser.cmdSelAll_Click();
        QCOMPARE(rig.chooser.fileCount(), 50000);
        QCOMPARE(rig.chooser.fileName(49999), QStringLiteral("access-49999.log"));
        QVERIFY(rig.chooser.fileSelected(49999));
    }

    void helpers() {
        const QStringList roots{"/", "/home", "/home/user/mnt"};
        QCOMPARE(VolumeOf("/home/user/logs", roots), QStringLiteral("/home"));
        QCOMPARE(VolumeOf("/homework", roots), QStringLiteral("/"));
        QCOMPARE(VolumeOf("/home/user/mnt", roots), QStringLiteral("/home/user/mnt"));
        QCOMPARE(VolumeOf("/x", QStringList{"/home"}), QString());
        QCOMPARE(AncestorsFrom("/", "/var/log"), QStringList({"/", "/var", "/var/log"}));
        QCOMPARE(AncestorsFrom("/home", "/home/u/logs"),
                 QStringList({"/home", "/home/u", "/home/u/logs"}));
        QCOMPARE(AncestorsFrom("/", "/"), QStringList({"/"}));
    }

private:
    QTemporaryDir dir_;
    QString root_;
};

}  // namespace tallowby

TALLOWBY_QTEST_MAIN(tallowby::LogFileChooserTest)
#include "LogFileChooserTest.moc"
