#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextEdit>

#include "QtTestMain.h"
#include "WindowFakes.h"
#include "platform/OnTop.h"
#include "settings/HelpWindow.h"
#include "settings/SettingsStore.h"

using namespace tallowby;

namespace {

const QString kApp = QStringLiteral("Tallowby");
const QString kShowHelpAddress = QStringLiteral("Tallowby|Settings|showHelp");

}  // namespace

class HelpWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        backend_ = std::make_unique<testing::MemorySettings>();
        store_ = std::make_unique<SettingsStore>(*backend_);
        QVERIFY(dir_.isValid());
        helpPath_ = dir_.filePath(QStringLiteral("Help.rtf"));
        QFile::remove(helpPath_);
        QVERIFY(QFile::copy(QStringLiteral(TALLOWBY_HELP_RTF), helpPath_));
        opener_ = std::make_unique<HelpWindowOpener>(*store_, kApp, helpPath_);
    }
    void cleanup() {
        opener_.reset();
        testing::ProcessDeletes();
    }

    void FirstRunShowsTheReadMeOnTopAndTicked() {
        Form8* window = opener_->Open();
        QCOMPARE(window->windowTitle(), QStringLiteral("Readme/Help"));
        QVERIFY(window->isVisible());
        QVERIFY(IsOnTop(window));
        QVERIFY(window->rtf1()->isReadOnly());
        QVERIFY(window->rtf1()->toPlainText().contains(QStringLiteral("What Tallowby does")));
        QCOMPARE(window->Check1()->text(), QStringLiteral("Show at Startup"));
        QCOMPARE(window->Check1()->checkState(), Qt::Checked);
        QCOMPARE(backend_->reads, QStringList{kShowHelpAddress});
        QVERIFY(backend_->writes.isEmpty());  // the state did not change
    }

    void ClickingTheBoxSavesAtOnce() {
        Form8* window = opener_->Open();
        QTest::mouseClick(window->Check1(), Qt::LeftButton);
        QCOMPARE(backend_->writes, QStringList{kShowHelpAddress + "=0"});
        QTest::mouseClick(window->Check1(), Qt::LeftButton);
        QCOMPARE(backend_->writes.last(), kShowHelpAddress + "=1");
        QVERIFY(window->isVisible());  // the window stays open
    }

    void ShowsTheStoredState_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("state");
        QTest::addColumn<QStringList>("writes");
        QTest::newRow("0") << "0" << int(Qt::Unchecked) << QStringList{kShowHelpAddress + "=0"};
        QTest::newRow("01") << "01" << int(Qt::Checked) << QStringList{};
        QTest::newRow("2") << "2" << int(Qt::PartiallyChecked)
                           << QStringList{kShowHelpAddress + "=2"};
        QTest::newRow("word left as is") << "true" << int(Qt::Checked) << QStringList{};
        QTest::newRow("3 left as is") << "3" << int(Qt::Checked) << QStringList{};
    }
    void ShowsTheStoredState() {
        QFETCH(QString, stored);
        QFETCH(int, state);
        QFETCH(QStringList, writes);
        store_->SaveSetting(kApp, kSectionSettings, kKeyShowHelp, stored);
        backend_->writes.clear();
        Form8* window = opener_->Open();
        QCOMPARE(int(window->Check1()->checkState()), state);
        QCOMPARE(backend_->writes, writes);
    }

    void AGreyedBoxTicksOnClickAndNeverGreysAgain() {
        store_->SaveSetting(kApp, kSectionSettings, kKeyShowHelp, QStringLiteral("2"));
        Form8* window = opener_->Open();
        QTest::mouseClick(window->Check1(), Qt::LeftButton);
        QCOMPARE(window->Check1()->checkState(), Qt::Checked);
        QCOMPARE(backend_->writes.last(), kShowHelpAddress + "=1");
        QTest::mouseClick(window->Check1(), Qt::LeftButton);
        QCOMPARE(window->Check1()->checkState(), Qt::Unchecked);
        QTest::mouseClick(window->Check1(), Qt::LeftButton);
        QCOMPARE(window->Check1()->checkState(), Qt::Checked);
        QCOMPARE(backend_->writes.last(), kShowHelpAddress + "=1");
    }

    void MissingFileLeavesTheWindowPlain() {
        QVERIFY(QFile::remove(helpPath_));
        store_->SaveSetting(kApp, kSectionSettings, kKeyShowHelp, QStringLiteral("0"));
        backend_->reads.clear();
        backend_->writes.clear();
        Form8* window = opener_->Open();
        QVERIFY(window->isVisible());
        QVERIFY(window->rtf1()->toPlainText().isEmpty());
        QVERIFY(!IsOnTop(window));
        QVERIFY(backend_->reads.isEmpty());
        QVERIFY(backend_->writes.isEmpty());
        QCOMPARE(window->Check1()->checkState(), Qt::Checked);  // as created
    }

    void OpensOnceAndReloadsAfterClosing() {
        Form8* window = opener_->Open();
        QCOMPARE(opener_->Open(), window);
        QTest::mouseClick(window->Check1(), Qt::LeftButton);
        QVERIFY(window->close());
        testing::ProcessDeletes();
        QVERIFY(!opener_->isLoaded());
        window = opener_->Open();
        QCOMPARE(window->Check1()->checkState(), Qt::Unchecked);
        QPointer<Form8> watch(window);
        opener_->Unload();
        QVERIFY(watch.isNull());
    }

    // Beside the program in the build tree; installed (a package puts the
    // programs in usr/bin), in the package's data folder.
    void FindsTheReadMeBesideTheProgramElseInstalled_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("found");
        const QString beside = QStringLiteral("usr/bin/Help.rtf");
        const QString installed = QStringLiteral("usr/share/tallowby/Help.rtf");
        QTest::newRow("beside") << QStringList{beside} << beside;
        QTest::newRow("installed") << QStringList{installed} << installed;
        QTest::newRow("both") << QStringList{installed, beside} << beside;
        QTest::newRow("neither") << QStringList{} << beside;
        QTest::newRow("a folder beside") << QStringList{beside + "/x", installed} << installed;
    }
    void FindsTheReadMeBesideTheProgramElseInstalled() {
        QFETCH(QStringList, files);
        QFETCH(QString, found);
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("usr/bin")));
        for (const QString& file : files) {
            QVERIFY(QDir(root.path()).mkpath(QFileInfo(file).path()));
            QFile help(root.filePath(file));
            QVERIFY(help.open(QIODevice::WriteOnly));
        }
        QCOMPARE(HelpFilePathFor(root.filePath(QStringLiteral("usr/bin"))), root.filePath(found));
    }

private:
    QTemporaryDir dir_;
    QString helpPath_;
    std::unique_ptr<testing::MemorySettings> backend_;
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<HelpWindowOpener> opener_;
};

TALLOWBY_QTEST_MAIN(HelpWindowTest)
#include "HelpWindowTest.moc"
