#include "EngineWebView.h"

#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace tallowby {

namespace {

// A view whose pop-ups (target=_blank, window.open) load in the view itself.
class SingleWindowView : public QWebEngineView {
public:
    using QWebEngineView::QWebEngineView;

protected:
    QWebEngineView* createWindow(QWebEnginePage::WebWindowType) override { return this; }
};

}  // namespace

bool IsAddressStandInTitle(const QString& title, const QUrl& url) {
    if (title.isEmpty()) {
        return true;
    }
    if (url.isEmpty()) {
        return false;
    }
    QString bare = url.toString(QUrl::RemoveScheme);
    if (bare.startsWith(QLatin1String("//"))) {
        bare.remove(0, 2);
    }
    const QString trimmed = bare.endsWith(QLatin1Char('/')) ? bare.chopped(1) : bare;
    return title == url.toString() || title == bare || title == trimmed;
}

EngineWebView::EngineWebView(QWidget* parent) : WebView(parent), view_(new SingleWindowView(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setFocusProxy(view_);

    view_->settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);

    QWebEnginePage* page = view_->page();
    connect(page, &QWebEnginePage::linkHovered, this, &WebView::statusTextChanged);
    connect(page, &QWebEnginePage::loadingChanged, this, &EngineWebView::onLoadingChanged);
    connect(page, &QWebEnginePage::loadProgress, this, &EngineWebView::onLoadProgress);
    connect(page, &QWebEnginePage::loadFinished, this, &EngineWebView::onLoadFinished);
}

bool EngineWebView::navigate(const QUrl& url) {
    if (url.isEmpty() || !url.isValid()) {
        return false;
    }
    armed_ = false;
    StartLoad(url, true);
    return true;
}

bool EngineWebView::navigateWithStandIn(const QUrl& url, const QString& standIn) {
    if (url.isEmpty() || !url.isValid()) {
        return false;
    }
    standIn_ = standIn;
    standInFor_ = url;
    armed_ = !standIn.isEmpty();
    // Without its error page a failed load leaves the view blank for the
    // moment until the stand-in arrives, instead of flashing that page.
    StartLoad(url, standIn.isEmpty());
    return true;
}

void EngineWebView::StartLoad(const QUrl& url, bool errorPages) {
    standInLoading_ = false;
    standInShown_ = false;
    SetErrorPages(errorPages);
    view_->load(url);
}

void EngineWebView::SetErrorPages(bool on) {
    view_->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, on);
}

void EngineWebView::back() {
    view_->back();
}

void EngineWebView::forward() {
    view_->forward();
}

void EngineWebView::stop() {
    view_->stop();
}

void EngineWebView::reload() {
    if (standInShown_) {
        navigateWithStandIn(standInFor_, standIn_);  // try the page itself again
        return;
    }
    view_->reload();
}

QString EngineWebView::locationName() const {
    const QUrl url = view_->url();
    const QString title = view_->title();
    return IsAddressStandInTitle(title, url) ? locationUrl() : title;
}

QString EngineWebView::locationUrl() const {
    return view_->url().toString();
}

void EngineWebView::onLoadingChanged(const QWebEngineLoadingInfo& info) {
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        loading_ = info.url();
        load_ = Load::Started;
        if (!standInLoading_) {
            standInShown_ = false;  // another page takes its place
            emit statusTextChanged(QStringLiteral("Opening page ") + loading_.toString() +
                                   QStringLiteral("..."));
        }
        return;
    }
    // The engine counts an HTTP error status as a failed load, but the
    // server's page arrived and is on the screen; a stopped load leaves on
    // the screen whatever it had got.
    const bool shown = info.status() != QWebEngineLoadingInfo::LoadFailedStatus ||
                       info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain;
    load_ = load_ == Load::FinishedFirst ? Load::Idle : Load::ReportedFirst;
    if (standInLoading_) {
        // The stand-in is on show: told as the failure it stands for.
        standInLoading_ = false;
        standInShown_ = true;
        SetErrorPages(true);
        ReportEnd(false, standInFor_);
        return;
    }
    if (armed_) {
        armed_ = false;
        if (!shown) {
            // After the failed load's own last notification, which may
            // still be on its way.
            standInLoading_ = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (standInLoading_) {
                        view_->setHtml(standIn_, standInFor_);
                    }
                },
                Qt::QueuedConnection);
            return;
        }
        SetErrorPages(true);  // the page itself came
    }
    ReportEnd(shown, view_->url());
}

void EngineWebView::onLoadFinished(bool ok) {
    // Each load that started also ends with a loading change, which tells
    // more than `ok` does; only a load the engine refused before it started
    // (an address it will not handle) ends here alone.
    switch (load_) {
        case Load::Idle:
            // Once a stand-in is on show, this is the last word of its load.
            if (!standInShown_) {
                ReportEnd(ok, view_->url());
            }
            break;
        case Load::Started:
            load_ = Load::FinishedFirst;
            break;
        case Load::ReportedFirst:
            load_ = Load::Idle;
            break;
        case Load::FinishedFirst:
            break;
    }
}

void EngineWebView::ReportEnd(bool pageShown, const QUrl& address) {
    emit statusTextChanged(pageShown ? QStringLiteral("Done")
                                     : QStringLiteral("Cannot open ") + address.toString());
    emit documentComplete();
}

void EngineWebView::onLoadProgress(int percent) {
    if (percent > 0 && percent < 100 && !loading_.isEmpty() && !standInLoading_) {
        emit statusTextChanged(QStringLiteral("Opening page ") + loading_.toString() +
                               QStringLiteral("... (%1%)").arg(percent));
    }
}

}  // namespace tallowby
