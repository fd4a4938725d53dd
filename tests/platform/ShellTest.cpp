// The real shell hands addresses to the desktop's opener and hears when it
// gives up. A stand-in opener on PATH takes the place of xdg-open.

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "QtTestMain.h"
#include "platform/Shell.h"

using namespace tallowby;

class ShellTest : public QObject {
    Q_OBJECT

private slots:
    void anOpenerThatGivesUpIsToldInWords() {
        QTemporaryDir bin;
        const QString argumentFile = bin.path() + "/argument";
        {
            QFile opener(bin.path() + "/xdg-open");
            QVERIFY(opener.open(QIODevice::WriteOnly));
            // As xdg-open does when nothing is set up to open the address.
            opener.write("#!/bin/sh\nprintf '%s|%s' \"$1\" \"$#\" > '" +
                         QFile::encodeName(argumentFile) + "'\nexit 3\n");
            opener.close();
            QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + ":/usr/bin:/bin");

        QtShell shell;
        QStringList told;
        const ShellResult opened = shell.OpenUrl(QStringLiteral("http://site.example/a b?c=1&d"),
                                                 [&](const QString& reason) { told << reason; });
        QVERIFY(opened.ok);
        QTRY_VERIFY_WITH_TIMEOUT(!told.isEmpty(), 60000);
        QCOMPARE(told, QStringList{"xdg-open found no program set up to open it"});
        QFile argument(argumentFile);
        QVERIFY(argument.open(QIODevice::ReadOnly));
        QCOMPARE(argument.readAll(), QByteArray("http://site.example/a%20b?c=1&d|1"));

        const ShellResult missing = shell.StartWatched(bin.path() + "/no-such-opener", {}, {});
        QVERIFY(!missing.ok);
        QVERIFY(!missing.error.isEmpty());
        qputenv("PATH", path);
    }
};

TALLOWBY_QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
