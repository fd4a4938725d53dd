#pragma once

#include <QList>
#include <QUrl>

#include "results/WebView.h"

namespace tallowby::testing {

// A page display that loads nothing: it records where it was sent and lets
// the test say what page "completed".
class FakeWebView : public WebView {
public:
    using WebView::WebView;

    bool navigate(const QUrl& url) override {
        if (url.isEmpty() || !url.isValid()) {
            return false;
        }
        navigations.append(url);
        return true;
    }
    void back() override {}
    void forward() override {}
    void stop() override {}
    void reload() override {}
    QString locationName() const override { return name; }
    QString locationUrl() const override { return address; }

    void complete(const QString& pageName, const QString& pageAddress) {
        name = pageName;
        address = pageAddress;
        emit documentComplete();
    }

    QList<QUrl> navigations;
    QString name;
    QString address;
};

}  // namespace tallowby::testing
