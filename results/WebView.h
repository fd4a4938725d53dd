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
