#pragma once

#include "results/WebView.h"

class QWebEngineView;
class QWebEngineLoadingInfo;

namespace tallowby {

// The real browser: Qt WebEngine.
//
// Links that ask for a new window open in this view, and addresses with a
// scheme the engine does not handle itself (mailto:, custom handlers) are
// refused instead of being handed to the desktop: the view only ever shows
// pages and never starts another program.
class EngineWebView : public WebView {
    Q_OBJECT

public:
    explicit EngineWebView(QWidget* parent = nullptr);

    bool navigate(const QUrl& url) override;
    bool navigateWithStandIn(const QUrl& url, const QString& standIn) override;
    void back() override;
    void forward() override;
    void stop() override;
    void reload() override;
    QString locationName() const override;
    QString locationUrl() const override;

    QWebEngineView* engineView() const { return view_; }

private:
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void onLoadProgress(int percent);
    void onLoadFinished(bool ok);
    // "Done" when the load left a page on the screen, else "Cannot open"
    // and the address.
    void ReportEnd(bool pageShown, const QUrl& address);
    // Loads `url` afresh, with the engine's error pages on or off.
    void StartLoad(const QUrl& url, bool errorPages);
    void SetErrorPages(bool on);

    QWebEngineView* view_;
    QUrl loading_;  // the address being loaded, for the progress texts
    // Where the current load stands: its end is reported once, by whichever
    // of the engine's two end notifications tells whether a page is shown.
    enum class Load { Idle, Started, FinishedFirst, ReportedFirst };
    Load load_ = Load::Idle;
    // The page to show should the load of standInFor_ fail, kept for a
    // reload; armed_ while that load is under way.
    QString standIn_;
    QUrl standInFor_;
    bool armed_ = false;
    // The stand-in is loading (its own start and end are not reported) or on show.
    bool standInLoading_ = false;
    bool standInShown_ = false;
};

// Whether `title` is only the engine's stand-in for a page without a title:
// its address without the scheme, as the engine shows it.
bool IsAddressStandInTitle(const QString& title, const QUrl& url);

}  // namespace tallowby
