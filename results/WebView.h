#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

namespace tallowby {

// The embedded browser as the browser pane uses it: the page display with
// the operations and notifications the pane relies on. EngineWebView is the
// real one; tests use a scripted stand-in.
class WebView : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;
    ~WebView() override = default;

    // Starts loading `url`. Returns false, doing nothing, when `url` is
    // empty or invalid.
    virtual bool navigate(const QUrl& url) = 0;
    // Starts loading `url` as navigate() does; but when the load fails for
    // want of a connection (no answer, an unknown host, a refused or broken
    // connection), `standIn`, a whole HTML page that needs nothing from the
    // network, is shown under `url` instead of the engine's error page. A
    // reload of the stand-in tries `url` again the same way. A display
    // without error pages of its own only navigates.
    virtual bool navigateWithStandIn(const QUrl& url, const QString& /*standIn*/) {
        return navigate(url);
    }
    // History and loading. Each does nothing when it has nothing to do
    // (no earlier page, nothing loading).
    virtual void back() = 0;
    virtual void forward() = 0;
    virtual void stop() = 0;
    virtual void reload() = 0;

    // The current page's name: its title, or its address when it has none.
    // Empty when no page has been shown.
    virtual QString locationName() const = 0;
    // The current page's address after any redirection; empty before the first page.
    virtual QString locationUrl() const = 0;

signals:
    // What a browser's status line shows: the address of a hovered link
    // (empty when the pointer leaves it), the progress of a load, "Done".
    void statusTextChanged(const QString& text);
    // A load has ended: the page is complete, or it failed or was stopped.
    void documentComplete();
};

}  // namespace tallowby
