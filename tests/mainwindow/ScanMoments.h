#pragma once

// The moments of a scan in the window, and the user's press of Stop, the
// close box or File > Exit at one of them.

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <QtTest>

#include <functional>
#include <optional>

#include "mainwindow/Form1.h"
#include "results/ResultsList.h"

namespace tallowby::testing {

enum class Phase { Counting, Reading, Collapsing, Filling, Sorting, Painting, AfterFill };
enum class Control { Stop, Close, Exit };

inline const char* Name(Phase phase) {
    static const char* const names[] = {"counting", "reading",  "collapsing",    "filling",
                                        "sorting",  "painting", "after the fill"};
    return names[static_cast<int>(phase)];
}

inline const QString kCollapse = QStringLiteral("Removing Duplicates...  Please Wait.");

// 40,000 lines (or `lines`) over 3,000 referrers, about 5 MB: several
// turns of counting. Line i names referrer i * 7919 % 3000.
constexpr int kLines = 40000;
constexpr int kLogReferrers = 3000;
inline QByteArray BigLog(int lines = kLines) {
    QByteArray log;
    log.reserve(lines * 130);
    for (int i = 0; i < lines; ++i) {
        log +=
            "10.0.0.1 - - [01/Oct/2023:00:00:01 +0000] \"GET /a.jpg HTTP/1.1\" 200 512 "
            "\"http://ref" +
            QByteArray::number(i * 7919 % kLogReferrers) + ".example/page\" \"Mozilla/5.0\"\r\n";
    }
    return log;
}

// Phase names as Name() gives them, back to the phase.
inline std::optional<Phase> PhaseNamed(const QString& name) {
    for (int p = 0; p <= static_cast<int>(Phase::AfterFill); ++p) {
        if (name == QLatin1String(Name(static_cast<Phase>(p)))) {
            return static_cast<Phase>(p);
        }
    }
    return std::nullopt;
}

struct Moment {
    Phase phase;
    int occurrence;  // counted from 1
};

// Names the moments of one scan of `form` and presses at one of them.
class ScanWatcher : public QObject {
public:
    ScanWatcher(Form1& form, std::optional<Moment> target, std::function<void()> press)
        : form_(form), target_(target), press_(std::move(press)) {
        ResultsModel& model = form.lstResults()->results();
        connect(&model, &QAbstractItemModel::rowsAboutToBeInserted, this,
                [this] { note(Phase::Filling, false); });
        connect(&model, &QAbstractItemModel::rowsInserted, this, [this, &model] {
            if (model.isSorted()) {
                note(Phase::Sorting, false);
            }
        });
        form.lstResults()->viewport()->installEventFilter(this);
        // A zero timer fires once in every turn the scan gives the event loop.
        connect(&turns_, &QTimer::timeout, this, [this] { note(Classify(), true); });
        turns_.start(0);
    }

    QList<Phase> seen;
    bool pressed = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && form_.lstResults()->results().rowCount() > 0) {
            note(Phase::Painting, false);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    Phase Classify() const {
        if (form_.lstResults()->results().rowCount() > 0) {
            return Phase::AfterFill;
        }
        if (form_.statusPanel(2)->text().startsWith(kCollapse)) {
            return Phase::Collapsing;
        }
        return form_.scanner().counters().linesScanned == 0 ? Phase::Counting : Phase::Reading;
    }

    void note(Phase phase, bool turn) {
        if (!form_.scanning()) {
            return;
        }
        seen.append(phase);
        if (pressed || !target_ || target_->phase != phase ||
            seen.count(phase) != target_->occurrence) {
            return;
        }
        pressed = true;
        if (turn) {
            press_();  // handled in this very turn
        } else {
            // Pressed while the scan gives no turn: the input waits.
            QMetaObject::invokeMethod(this, press_, Qt::QueuedConnection);
        }
    }

    Form1& form_;
    std::optional<Moment> target_;
    std::function<void()> press_;
    QTimer turns_;
};

// The user's press of `control`, through the window's own controls.
inline void Press(Form1& form, Control control) {
    switch (control) {
        case Control::Stop:
            QTest::mouseClick(form.cmdStop(), Qt::LeftButton);
            break;
        case Control::Close:
            form.windowHandle()->close();  // the window manager's close box
            break;
        case Control::Exit: {
            QMenuBar* bar = form.menuBar();
            QAction* file = bar->actions().first();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(file).center());
            QMenu* menu = file->menu();
            QTest::mouseClick(menu, Qt::LeftButton, {},
                              menu->actionGeometry(form.mnuFileExit()).center());
            break;
        }
    }
}

}  // namespace tallowby::testing
