#include "OnTop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace tallowby {

namespace {

// The stay-on-top flag is a request to the window manager; without one
// (a bare X server, a kiosk session) nothing keeps such a window above a
// window shown later, such as the maximised main window appearing after the
// first-run Options and Help windows. So whenever another top-level window
// is shown or activated, the topmost ones are raised again right after it.
class TopmostKeeper : public QObject {
public:
    static TopmostKeeper* Instance() {
        static QPointer<TopmostKeeper> keeper;
        if (keeper.isNull() && QCoreApplication::instance() != nullptr) {
            keeper = new TopmostKeeper(QCoreApplication::instance());
            QCoreApplication::instance()->installEventFilter(keeper);
        }
        return keeper.data();
    }

    void Add(QWidget* window) {
        if (!windows_.contains(window)) {
            windows_.append(window);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if ((event->type() == QEvent::Show || event->type() == QEvent::WindowActivate) &&
            watched->isWidgetType()) {
            const auto* widget = static_cast<const QWidget*>(watched);
            if (widget->isWindow() && !IsOnTop(widget)) {
                RaiseSoon();
            }
        }
        return false;
    }

private:
    using QObject::QObject;

    // After the other window has been mapped, which follows its show event.
    void RaiseSoon() {
        if (pending_) {
            return;
        }
        pending_ = true;
        QTimer::singleShot(0, this, [this] {
            pending_ = false;
            windows_.removeAll(nullptr);
            for (const QPointer<QWidget>& window : windows_) {
                if (window->isVisible() && IsOnTop(window)) {
                    window->raise();
                }
            }
        });
    }

    QList<QPointer<QWidget>> windows_;
    bool pending_ = false;
};

}  // namespace

void SetOnTop(QWidget* window, bool onTop) {
    if (window == nullptr) {
        return;
    }
    if (onTop) {
        if (TopmostKeeper* keeper = TopmostKeeper::Instance()) {
            keeper->Add(window);
        }
    }
    if (IsOnTop(window) == onTop) {
        return;
    }
    // QWidget::setWindowFlag() recreates a window that already has its
    // native window: it hides it, loses its place, and on a bare X server
    // the new one was left unpainted (black) behind another topmost window.
    // A native window takes the new flag as it is instead.
    const Qt::WindowFlags flags = onTop ? window->windowFlags() | Qt::WindowStaysOnTopHint
                                        : window->windowFlags() & ~Qt::WindowStaysOnTopHint;
    if (QWindow* native = window->windowHandle()) {
        window->overrideWindowFlags(flags);
        native->setFlags(flags);
    } else {
        window->setWindowFlags(flags);
    }
}

bool IsOnTop(const QWidget* window) {
    return window != nullptr && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

}  // namespace tallowby
