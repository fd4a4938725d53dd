#pragma once

// main() for the Qt tests: the settings store is pointed at a folder of its
// own for this run, before Qt first looks for it, so no test ever reads or
// writes the user's real settings or sees a previous run's values; offscreen
// unless a display is given; and the context sharing that Qt WebEngine wants
// set before the application exists. Also the deletions the event loop
// would make on its next turn, for tests that do not run it.

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

namespace tallowby::testing {

// Deletes what deleteLater() left, as the event loop would on its next turn.
inline void ProcessDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace tallowby::testing

#define TALLOWBY_QTEST_MAIN(TestClass)                               \
    int main(int argc, char** argv) {                                \
        QTemporaryDir configHome;                                    \
        if (!configHome.isValid()) {                                 \
            return 1;                                                \
        }                                                            \
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit()); \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {        \
            qputenv("QT_QPA_PLATFORM", "offscreen");                 \
        }                                                            \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  \
        QApplication app(argc, argv);                                \
        TestClass test;                                              \
        return QTest::qExec(&test, argc, argv);                      \
    }
