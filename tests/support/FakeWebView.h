#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>

#include "results/WebView.h"

namespace tallowby::testing {

// A page display that loads nothing: it records what it is asked ("navigate
// <address>", "back", ...) and completes a page only when the test says so.
class FakeWebView : public WebView {
public:
    using WebView::WebView;

    bool navigate(const QUrl& url) override {
        if (url.isEmpty() || !url.isValid()) {
            return false;
        }
        calls.append(QStringLiteral("navigate ") + url.toString(QUrl::FullyEncoded));
        navigations.append(url);
        return true;
    }
    void back() override { calls.append(QStringLiteral("back")); }
    void forward() override { calls.append(QStringLiteral("forward")); }
    void stop() override { calls.append(QStringLiteral("stop")); }
    void reload() override { calls.append(QStringLiteral("reload")); }
    QString locationName() const override { return name; }
    QString locationUrl() const override { return address; }

    void complete(const QString& pageName, const QString& pageAddress) {
        name = pageName;
        address = pageAddress;
        emit documentComplete();
    }
    void status(const QString& text) { emit statusTextChanged(text); }

    QStringList calls;
    QList<QUrl> navigations;
    QString name;
    QString address;
};

}  // namespace tallowby::testing
