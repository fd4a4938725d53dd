#include <QTemporaryDir>
#include <QTimer>

#include "QtTestMain.h"
#include "WindowFakes.h"
#include "identity/ProductIdentity.h"
#include "identity/WebsiteLauncher.h"

using namespace tallowby;

class ProductIdentityTest : public QObject {
    Q_OBJECT
private slots:
    void init() { SetVersionInformationPath(QString()); }

    void ReadsWhatTheBuildEmbedded() {
        InitProductIdentity();
        const ProductIdentity& identity = TheProductIdentity();
        QCOMPARE(identity.productName, QStringLiteral(EXPECTED_PRODUCT_NAME));
        QCOMPARE(identity.companyName, QStringLiteral(EXPECTED_COMPANY_NAME));
        QCOMPARE(identity.website, QStringLiteral(EXPECTED_WEBSITE));
        QCOMPARE(identity.versionMajor, EXPECTED_VERSION_MAJOR);
        QCOMPARE(identity.versionMinor, EXPECTED_VERSION_MINOR);
        QCOMPARE(QCoreApplication::applicationName(), identity.productName);
    }

    void MissingInformationGivesEmptyFields() {
        const ProductIdentity identity =
            ReadVersionInformation(QStringLiteral("/nonexistent/version.txt"));
        QVERIFY(identity.productName.isEmpty());
        QVERIFY(identity.companyName.isEmpty());
        QVERIFY(identity.website.isEmpty());
        QCOMPARE(identity.versionMajor, 0);
    }

    void ReadsCrLfAndValuesWithEquals() {
        QTemporaryDir dir;
        const QString path = WriteVersion(
            dir,
            "ProductName=A=B\r\nCompanyName=\r\nComments=h.example\r\nFileVersion=3.14.1.2\r\n");
        const ProductIdentity identity = ReadVersionInformation(path);
        QCOMPARE(identity.productName, QStringLiteral("A=B"));
        QCOMPARE(identity.companyName, QString());
        QCOMPARE(identity.website, QStringLiteral("h.example"));
        QCOMPARE(identity.versionMajor, 3);
        QCOMPARE(identity.versionMinor, 14);
    }

    void PrefixesHttpOnlyWhenNoSchemeAppears_data() {
        QTest::addColumn<QString>("website");
        QTest::addColumn<QString>("address");
        QTest::newRow("bare host") << "tallowby.example.org"
                                   << "http://tallowby.example.org";
        QTest::newRow("https in capitals") << "HTTPS://Host.example"
                                           << "HTTPS://Host.example";
        QTest::newRow("http later in text") << "go.example/?to=http://x"
                                            << "go.example/?to=http://x";
        QTest::newRow("Http mixed case") << "Http://a.example"
                                         << "Http://a.example";
        QTest::newRow("ftp gets a prefix") << "ftp://a.example"
                                           << "http://ftp://a.example";
        QTest::newRow("empty") << ""
                               << "http://";
    }
    void PrefixesHttpOnlyWhenNoSchemeAppears() {
        QFETCH(QString, website);
        QFETCH(QString, address);
        QCOMPARE(WebsiteAddress(website), address);
        // And the launcher opens just that, read from the version information.
        QTemporaryDir dir;
        SetVersionInformationPath(WriteVersion(dir, "ProductName=P\nComments=" + website.toUtf8()));
        testing::RecordingShell shell;
        WebsiteLauncher launcher(shell);
        launcher.OpenWebsite();
        QCOMPARE(shell.opened, QStringList{address});
        QVERIFY(launcher.siteRequest.isEmpty());
    }

    void OpensOncePerSecond() {
        testing::RecordingShell shell;
        WebsiteLauncher launcher(shell);
        QSignalSpy closed(&launcher, &WebsiteLauncher::launcherClosed);
        launcher.OpenWebsite();
        QVERIFY(launcher.isLoaded());
        QCOMPARE(launcher.window()->Timer1()->interval(), 1000);
        QVERIFY(launcher.window()->Timer1()->isActive());
        QVERIFY(!launcher.window()->isVisible());  // "Visit" only loads it
        launcher.OpenWebsite();                    // within the second: nothing more
        QCOMPARE(shell.opened.size(), 1);
        QCOMPARE(launcher.siteRequest, QStringLiteral("Website"));  // left for nobody

        launcher.window()->Timer1_Timer();
        testing::ProcessDeletes();
        QVERIFY(!launcher.isLoaded());
        QCOMPARE(closed.count(), 1);
        launcher.OpenWebsite();
        QCOMPARE(shell.opened.size(), 2);
    }

    void LoadingWithoutARequestOpensNothing() {
        testing::RecordingShell shell;
        WebsiteLauncher launcher(shell);
        launcher.Load();
        QVERIFY(shell.opened.isEmpty());
        launcher.window()->Timer1_Timer();
        testing::ProcessDeletes();
        launcher.siteRequest = QStringLiteral("website");  // the request is case-sensitive
        launcher.Load();
        QVERIFY(shell.opened.isEmpty());
        QCOMPARE(launcher.siteRequest, QStringLiteral("website"));
    }

    void ShowsMinimisedWhenAsked() {
        testing::RecordingShell shell;
        WebsiteLauncher launcher(shell);
        launcher.ShowLauncher();  // not loaded: nothing
        launcher.OpenWebsite();
        launcher.ShowLauncher();
        QVERIFY(launcher.isShowing());
        QVERIFY(launcher.window()->isMinimized());
        launcher.window()->Timer1_Timer();
        QVERIFY(!launcher.isShowing());
    }

private:
    static QString WriteVersion(QTemporaryDir& dir, const QByteArray& text) {
        const QString path = dir.filePath(QStringLiteral("version.txt"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(text);
        }
        return path;
    }
};

TALLOWBY_QTEST_MAIN(ProductIdentityTest)
#include "ProductIdentityTest.moc"
