// "Export" and "Open Selected File" as the window runs them: real files in a
// temporary folder, faults injected through the file-system seam, and the
// editor started on a recording shell.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <string>

#include "FaultyFileSystem.h"
#include "QtTestMain.h"
#include "WindowFakes.h"
#include "engine/read/FileSystem.h"
#include "engine/tally/WorkList.h"
#include "results/FileCommands.h"

using namespace tallowby;
using tallowby::testing::FaultyFileSystem;
using tallowby::testing::RecordingMessageBoxes;
using tallowby::testing::RecordingShell;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void Fill(WorkList& list, std::initializer_list<const char*> referrers) {
    for (const char* r : referrers) {
        list.append(r, TypeCode::HTM, false);
    }
}

}  // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void exportWritesTheWorkListAndSaysWhere_data() {
        QTest::addColumn<bool>("collapse");
        QTest::addColumn<QByteArray>("expected");
        // "http://a/ " was cut at a space: the target loses the space, the text keeps it.
        QTest::newRow("duplicates removed")
            << true
            << QByteArray(
                   "<a href='http://a/'>0000002|http://a/ </a><br>\r\n"
                   "<a "
                   "href='http://b/?x=1&amp;y=&#39;2&#39;'>0000001|http://b/"
                   "?x=1&amp;y=&#39;2&#39;</a><br>\r\n");
        QTest::newRow("duplicates kept") << false
                                         << QByteArray(
                                                "<a href='http://a/'>http://a/ </a><br>\r\n"
                                                "<a href='http://a/'>http://a/ </a><br>\r\n"
                                                "<a "
                                                "href='http://b/?x=1&amp;y=&#39;2&#39;'>http://b/"
                                                "?x=1&amp;y=&#39;2&#39;</a><br>\r\n");
    }
    void exportWritesTheWorkListAndSaysWhere() {
        QFETCH(bool, collapse);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        WorkList list;
        Fill(list, {"http://b/?x=1&y='2'", "http://a/ ", "http://a/ "});
        if (collapse) {
            list.collapse();
        }
        RecordingMessageBoxes boxes;
        QVERIFY(ExportReferrers(dir.path(), list, {}, boxes));
        const QString path = dir.path() + QStringLiteral("/referers.html");
        QCOMPARE(ReadAll(path), expected);
        QCOMPARE(boxes.shown, QStringList{QStringLiteral("saved as ") + path});
        QCOMPARE(list.size(), collapse ? std::size_t{2} : std::size_t{3});
    }

    void exportOfAnEmptyListLeavesAnEmptyFileAndASecondExportReplacesTheFirst() {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/referers.html");
        RecordingMessageBoxes boxes;
        WorkList list;
        Fill(list, {"http://one/", "http://two/", "http://three/"});
        QVERIFY(ExportReferrers(dir.path(), list, {}, boxes));
        QCOMPARE(ReadAll(path).count("<br>\r\n"), 3);

        list.clear();
        Fill(list, {"http://x/"});
        QVERIFY(ExportReferrers(dir.path(), list, {}, boxes));
        QCOMPARE(ReadAll(path), QByteArray("<a href='http://x/'>http://x/</a><br>\r\n"));

        list.clear();
        QVERIFY(ExportReferrers(dir.path(), list, {}, boxes));
        QCOMPARE(ReadAll(path), QByteArray());
        QCOMPARE(boxes.shown.size(), 3);
        QCOMPARE(boxes.shown.last(), QStringLiteral("saved as ") + path);
    }

    void hostileReferrersAreEscaped() {
        QTemporaryDir dir;
        WorkList list;
        Fill(list, {"http://e/'><script>alert(1)</script>", "http://e/\"onmouseover=\"x"});
        RecordingMessageBoxes boxes;
        QVERIFY(ExportReferrers(dir.path(), list, {}, boxes));
        QCOMPARE(ReadAll(dir.path() + QStringLiteral("/referers.html")),
                 QByteArray("<a href='http://e/&quot;onmouseover=&quot;x'>"
                            "http://e/&quot;onmouseover=&quot;x</a><br>\r\n"
                            "<a href='http://e/&#39;&gt;&lt;script&gt;alert(1)&lt;/script&gt;'>"
                            "http://e/&#39;&gt;&lt;script&gt;alert(1)&lt;/script&gt;</a><br>\r\n"));
    }

    void aFailedExportLeavesTheEarlierFileWholeAndSaysWhy_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder refuses the file")
            << int(FaultyFileSystem::Fault::RefuseOpen) << QStringLiteral("Permission denied");
        QTest::newRow("disk fills up while writing") << int(FaultyFileSystem::Fault::FailWriteAfter)
                                                     << QStringLiteral("No space left on device");
    }
    void aFailedExportLeavesTheEarlierFileWholeAndSaysWhy() {
        QFETCH(int, fault);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/referers.html");
        RecordingMessageBoxes boxes;
        WorkList list;
        Fill(list, {"http://earlier/"});
        QVERIFY(ExportReferrers(dir.path(), list, {}, boxes));
        const QByteArray earlier = ReadAll(path);

        Fill(list, {"http://later/", "http://more/"});
        FaultyFileSystem faulty;
        faulty.fault = static_cast<FaultyFileSystem::Fault>(fault);
        faulty.writeLimit = 20;  // part of the page reaches the temporary file
        faulty.reason = reason.toStdString();
        boxes.shown.clear();
        QVERIFY(!ExportReferrers(dir.path(), list, {}, boxes, faulty));
        QCOMPARE(ReadAll(path), earlier);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("referers.html")});
        QCOMPARE(boxes.shown.size(), 1);
        QVERIFY2(boxes.shown[0].contains(path) && boxes.shown[0].contains(reason),
                 qPrintable(boxes.shown[0]));
        QVERIFY(!boxes.shown[0].startsWith(QStringLiteral("saved as")));
        QCOMPARE(list.size(), std::size_t{3});
    }

    void openSelectedFilePassesAHostileNameAsOneArgument() {
        RecordingShell shell;
        shell.onPath = {QStringLiteral("kate"), QStringLiteral("mousepad"),
                        QStringLiteral("xdg-open")};
        RecordingMessageBoxes boxes;
        const QString name = QStringLiteral("a \"b\" 'c'; rm -rf ~ $(touch x) `id` & .log");
        QVERIFY(OpenSelectedFile(QStringLiteral("/var/log/my logs"), name, shell, boxes));
        QCOMPARE(shell.started.size(), 1);
        QCOMPARE(shell.started[0].first,
                 QStringLiteral("/usr/bin/kate"));  // first on the list found
        QCOMPARE(shell.started[0].second, QStringList{QStringLiteral("/var/log/my logs/") + name});
        QVERIFY(boxes.shown.isEmpty());
    }

    void openSelectedFileWithoutAnEditorSaysWhatWentWrong() {
        // No editor on PATH: xdg-open, watched, or a word on what to install.
        struct Case {
            const char* name;
            QStringList onPath;
            ShellResult start;
            QString later;  // what xdg-open reports on ending in failure
            bool started;
            QStringList says;
        };
        const QString none = QStringLiteral("nothing-looked-for");
        const Case cases[] = {
            {"opens", {"xdg-open"}, {true, {}}, {}, true, {}},
            {"cannot start",
             {"xdg-open"},
             {false, "execv: No such file or directory"},
             {},
             false,
             {"Could not start /usr/bin/xdg-open on /logs/: execv: No such file or directory"}},
            {"no program for the file",
             {"xdg-open"},
             {true, {}},
             "xdg-open found no program set up to open it",
             true,
             {"Could not open /logs/: xdg-open found no program set up to open it"}},
            {"nothing installed",
             {none},
             {true, {}},
             {},
             false,
             {"Could not open /logs/: no text editor was found. Install one of "
              "gnome-text-editor, gedit, kate, kwrite, mousepad, pluma, xed, featherpad, "
              "leafpad, or the package xdg-utils for xdg-open."}},
        };
        for (const Case& c : cases) {
            RecordingShell shell;
            shell.onPath = c.onPath;
            shell.startResult = c.start;
            RecordingMessageBoxes boxes;
            // No current entry: the directory's own path, ending in "/".
            QCOMPARE(OpenSelectedFile(QStringLiteral("/logs"), QString(), shell, boxes), c.started);
            if (c.onPath != QStringList{none}) {
                QCOMPARE(shell.started.value(0).first, QStringLiteral("/usr/bin/xdg-open"));
                QCOMPARE(shell.started.value(0).second, QStringList{QStringLiteral("/logs/")});
            } else {
                QVERIFY(shell.started.isEmpty());
            }
            if (!c.later.isEmpty()) {
                QVERIFY2(boxes.shown.isEmpty(), c.name);
                shell.laterFailure(c.later);
            }
            QVERIFY2(boxes.shown == c.says, qPrintable(boxes.shown.join('|')));
        }

        QCOMPARE(SelectedFilePath(QStringLiteral("/"), QStringLiteral("access.log")),
                 QStringLiteral("/access.log"));
    }
};

TALLOWBY_QTEST_MAIN(FileCommandsTest)
#include "FileCommandsTest.moc"
