#include "QtTestMain.h"
#include "WindowFakes.h"
#include "platform/SettingsBackend.h"
#include "settings/AppSettings.h"
#include "settings/HelpWindow.h"
#include "settings/SettingsStore.h"

using namespace tallowby;

namespace {

// A product name no other test uses, so each starts from an empty store.
QString FreshApp() {
    static int counter = 0;
    return QStringLiteral("StoreTest%1").arg(++counter);
}

}  // namespace

class SettingsStoreTest : public QObject {
    Q_OBJECT
private slots:
    void FirstRunGivesTheDefaults() {
        QtSettingsBackend backend;
        SettingsStore store(backend);
        AppSettings settings;
        LoadSettings(store, FreshApp(), settings);
        QVERIFY(settings.bRemoveDupes);
        QVERIFY(settings.bDisplayStats);
        QVERIFY(settings.bGetFileTypes);
        QCOMPARE(settings.strYourWebsite, strPlaceholderDomain);
        QVERIFY(!settings.bHttpsReferrers);
        QVERIFY(!settings.bQuotedReferrers);
    }

    void LoadsInItsOrderUnderTheProductName() {
        testing::MemorySettings backend;
        SettingsStore store(backend);
        AppSettings settings;
        LoadSettings(store, QStringLiteral("P"), settings);
        QCOMPARE(backend.reads,
                 (QStringList{"P|data|bRemoveDupes", "P|data|bDisplayStats", "P|data|bGetFileTypes",
                              "P|data|strYourWebsite", "P|data|bHttpsReferrers",
                              "P|data|bQuotedReferrers", "P|data|bHideSpam", "P|data|strSpamList",
                              "P|data|bReferrerField", "P|data|bNoCrawlers",
                              "P|data|strCrawlerList", "P|data|strSourceLists"}));
        QVERIFY(backend.writes.isEmpty());
    }

    void ReadsOptionTexts_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("expected");
        // The two referrer rules default to off, so a text that is no
        // boolean leaves them off.
        QTest::addColumn<bool>("expectedRules");
        QTest::newRow("0") << "0" << false << false;
        QTest::newRow("1") << "1" << true << true;
        QTest::newRow("2") << "2" << true << true;
        QTest::newRow("-1") << "-1" << true << true;
        QTest::newRow("0.0") << "0.0" << false << false;
        QTest::newRow("blank around 0") << " 0 " << false << false;
        QTest::newRow("true") << "true" << true << true;
        QTest::newRow("FALSE") << "FALSE" << false << false;
        QTest::newRow("False") << "False" << false << false;
        // Not a boolean: the key's default.
        QTest::newRow("word") << "yes" << true << false;
        QTest::newRow("empty") << "" << true << false;
        QTest::newRow("nan") << "nan" << true << false;
    }
    void ReadsOptionTexts() {
        QFETCH(QString, stored);
        QFETCH(bool, expected);
        QFETCH(bool, expectedRules);
        QtSettingsBackend backend;
        SettingsStore store(backend);
        const QString app = FreshApp();
        for (const QString& key :
             {kKeyRemoveDupes, kKeyDisplayStats, kKeyGetFileTypes, kKeyHttpsReferrers,
              kKeyQuotedReferrers, kKeyReferrerField, kKeyNoCrawlers}) {
            store.SaveSetting(app, kSectionData, key, stored);
        }
        AppSettings settings;
        LoadSettings(store, app, settings);
        QCOMPARE(settings.bRemoveDupes, expected);
        QCOMPARE(settings.bDisplayStats, expected);
        QCOMPARE(settings.bGetFileTypes, expected);
        QCOMPARE(settings.bHttpsReferrers, expectedRules);
        QCOMPARE(settings.bQuotedReferrers, expectedRules);
        QCOMPARE(settings.bReferrerField, expectedRules);
        QCOMPARE(settings.bNoCrawlers, expectedRules);
    }

    void ReportsAFailedSaveWithWhereItBelongs() {
        testing::MemorySettings backend;
        SettingsStore store(backend);
        QStringList told;
        store.setOnSaveFailed([&](const QString& where) { told << where; });
        QVERIFY(
            store.SaveSetting(QStringLiteral("App"), kSectionData, kKeyPath, QStringLiteral("/a")));
        QVERIFY(told.isEmpty());
        backend.failWrites = true;
        QVERIFY(!store.SaveSetting(QStringLiteral("App"), kSectionData, kKeyPath,
                                   QStringLiteral("/b")));
        QCOMPARE(told, QStringList{QStringLiteral("/memory/App")});
        QCOMPARE(store.GetSetting(QStringLiteral("App"), kSectionData, kKeyPath, QString()),
                 QStringLiteral("/a"));
    }

    void KeepsTheDomainAsStored() {
        QtSettingsBackend backend;
        SettingsStore store(backend);
        const QString app = FreshApp();
        AppSettings settings;
        store.SaveSetting(app, kSectionData, kKeyYourWebsite, QString());
        LoadSettings(store, app, settings);
        QCOMPARE(settings.strYourWebsite, QString());  // not the placeholder
        store.SaveSetting(app, kSectionData, kKeyYourWebsite,
                          QStringLiteral(" http://WWW.Me.org "));
        LoadSettings(store, app, settings);  // read afresh, nothing cached
        QCOMPARE(settings.strYourWebsite, QStringLiteral(" http://WWW.Me.org "));
    }

    void SectionsAndProductsAreSeparate() {
        QtSettingsBackend backend;
        SettingsStore store(backend);
        const QString app = FreshApp();
        const QString other = FreshApp();
        store.SaveSetting(app, kSectionData, kKeyShowHelp, QStringLiteral("0"));
        QCOMPARE(store.GetSetting(app, kSectionSettings, kKeyShowHelp, QStringLiteral("dflt")),
                 QStringLiteral("dflt"));
        QVERIFY(ShouldShowHelpAtStartup(store, app));

        store.SaveSetting(app, kSectionData, kKeyRemoveDupes, QStringLiteral("0"));
        store.SaveSetting(app, kSectionData, kKeyYourWebsite, QStringLiteral("mine.example"));
        AppSettings first;
        AppSettings second;
        LoadSettings(store, app, first);
        LoadSettings(store, other, second);
        QVERIFY(!first.bRemoveDupes);
        QVERIFY(second.bRemoveDupes);
        QCOMPARE(second.strYourWebsite, strPlaceholderDomain);
    }

    void OpensHelpAtStartupOnlyForExactlyOne_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("opens");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("01") << "01" << false;
        QTest::newRow("blank 1") << " 1" << false;
        QTest::newRow("true") << "true" << false;
        QTest::newRow("empty") << "" << false;
    }
    void OpensHelpAtStartupOnlyForExactlyOne() {
        QFETCH(QString, stored);
        QFETCH(bool, opens);
        testing::MemorySettings backend;
        SettingsStore store(backend);
        QVERIFY(ShouldShowHelpAtStartup(store, QStringLiteral("P")));  // nothing stored
        store.SaveSetting(QStringLiteral("P"), kSectionSettings, kKeyShowHelp, stored);
        QCOMPARE(ShouldShowHelpAtStartup(store, QStringLiteral("P")), opens);
    }

    void ReadsCheckStatesAsWholeNumbers_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("state");  // -1: not a state
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("01") << "01" << 1;
        QTest::newRow("blank 2") << " 2 " << 2;
        QTest::newRow("1.4 rounds") << "1.4" << 1;
        QTest::newRow("3") << "3" << -1;
        QTest::newRow("-1") << "-1" << -1;
        QTest::newRow("true") << "true" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void ReadsCheckStatesAsWholeNumbers() {
        QFETCH(QString, stored);
        QFETCH(int, state);
        const std::optional<int> read = SettingTextToCheckState(stored);
        QCOMPARE(read.value_or(-1), state);
    }
};

TALLOWBY_QTEST_MAIN(SettingsStoreTest)
#include "SettingsStoreTest.moc"
