#pragma once

// A main window over recording fakes with a folder of logs, for the window
// tests, and the small log writers they share.

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <memory>

#include "FakeWebView.h"
#include "WindowFakes.h"
#include "identity/WebsiteLauncher.h"
#include "mainwindow/Form1.h"
#include "mainwindow/WindowScanHost.h"

namespace tallowby::testing {

inline QString Address(const QString& section, const QString& key) {
    return MemorySettings::Address(QStringLiteral("Tallowby"), section, key);
}

// A log line in the common combined format, ending in CR LF.
inline QByteArray Line(const char* referrer, const char* agent = "Mozilla/5.0") {
    return QByteArray(
               "10.0.0.1 - - [01/Oct/2023:00:00:01 +0000] \"GET /index.html HTTP/1.1\" "
               "200 512 \"") +
           referrer + "\" \"" + agent + "\"\r\n";
}

inline void WriteLog(const QString& path, const QList<QByteArray>& lines) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (const QByteArray& line : lines) {
        file.write(line);
    }
}

inline QList<QByteArray> Repeated(const char* referrer, int count) {
    QList<QByteArray> lines;
    for (int i = 0; i < count; ++i) {
        lines.append(Line(referrer));
    }
    return lines;
}

// Picks the item `text` of `box` as the user does: a click opens its list,
// the arrow keys go to the item and Enter chooses it.
inline void Choose(QComboBox* box, const QString& text) {
    const int row = box->findText(text);
    QVERIFY2(row >= 0, qPrintable(text));
    QTest::mouseClick(box, Qt::LeftButton);
    QAbstractItemView* items = box->view();
    QVERIFY(items->isVisible());
    QTest::keyClick(items, Qt::Key_Home);
    for (int i = 0; i < row; ++i) {
        QTest::keyClick(items, Qt::Key_Down);
    }
    QTest::keyClick(items, Qt::Key_Enter);
    QVERIFY(!items->isVisible());
    QCOMPARE(box->currentText(), text);
}

// One main window over recording fakes, with a folder of logs.
struct Rig {
    MemorySettings settings;
    RecordingMessageBoxes boxes;
    RecordingShell shell;
    RecordingFileDialogs dialogs;
    WebsiteLauncher launcher{shell};
    QTemporaryDir folder;
    FakeWebView* view = nullptr;
    int ended = 0;
    // Ends the run for real too (leaves the event loop), as the program does.
    bool realEnd = false;
    std::unique_ptr<Form1> form;

    // Settings a returning user has: own domain saved, Help off.
    void returningUser() {
        settings.values.insert(Address("data", "strYourWebsite"), "mysite.example");
        settings.values.insert(Address("Settings", "showHelp"), "0");
    }

    QString logs() const { return folder.path() + QStringLiteral("/logs"); }

    void load() {
        QDir().mkpath(logs());
        if (view == nullptr) {
            view = new FakeWebView;  // unless the test brought its own
        }
        Form1Services services{{boxes, shell, settings}, launcher, [this] {
                                   ++ended;
                                   if (realEnd) {
                                       EndProgram();
                                   }
                               }};
        services.volumes = [] { return QStringList{QStringLiteral("/")}; };
        services.startDirectory = folder.path();
        services.helpFilePath = folder.path() + QStringLiteral("/no-Help.rtf");
        services.webView = view;
        services.fileDialogs = &dialogs;
        form = std::make_unique<Form1>(std::move(services));
    }

    void show(int width = 919, int height = 673) {
        form->resize(width, height);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->resize(width, height);
    }

    // The window as a returning user finds it: loaded and shown.
    void openAsReturningUser() {
        returningUser();
        load();
        show();
    }

    QStringList messages() const { return boxes.shown; }

    QString panel(int number) const { return form->statusPanel(number)->text(); }

    // Opens `path` in the directory list with a double-click, as the user does.
    void openDirectory(const QString& path) {
        QListView* dir1 = form->Dir1();
        QAbstractItemModel* model = dir1->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex index = model->index(row, 0);
            if (index.data(LogFileChooser::PathRole).toString() == path) {
                dir1->scrollTo(index);
                // A double-click is only taken on the entry that was pressed.
                QTest::mouseClick(dir1->viewport(), Qt::LeftButton, {},
                                  dir1->visualRect(index).center());
                QTest::mouseDClick(dir1->viewport(), Qt::LeftButton, {},
                                   dir1->visualRect(index).center());
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no entry for ") + path));
    }

    // Opens the logs folder and presses "Select All Files", as the user does.
    void selectEveryLog() {
        openDirectory(logs());
        QTest::mouseClick(form->cmdSelAll(), Qt::LeftButton);
    }

    // Ctrl-clicks the named entries of the file list.
    void selectFiles(const QStringList& names) {
        QListView* file1 = form->File1();
        for (const QString& name : names) {
            const int row = form->chooser().fileModel()->stringList().indexOf(name);
            QVERIFY2(row >= 0, qPrintable(name));
            const QModelIndex index = file1->model()->index(row, 0);
            QTest::mouseClick(file1->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              file1->visualRect(index).center());
        }
    }

    // Runs `action` once, during the scan, as soon as `when` holds.
    void during(std::function<bool()> when, std::function<void()> action) {
        form->scanHost().setYieldRate(0, 1);  // every step is a real turn
        auto* timer = new QTimer(form.get());
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, when, action] {
            if (when()) {
                timer->stop();
                timer->deleteLater();
                action();
            }
        });
        timer->start();
    }
};

}  // namespace tallowby::testing
