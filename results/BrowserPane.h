#pragma once

#include <QByteArray>
#include <QGroupBox>
#include <QString>
#include <QUrl>

#include <optional>

#include "identity/ProductIdentity.h"

class QLabel;
class QLineEdit;
class QToolButton;

namespace tallowby {

class MessageBoxes;
class WebView;

// The "Browser" frame `frmBrowser`: the address box `Text1` with its go
// button, back, forward, stop and refresh, and the page display
// `WebBrowser1`. Children sit at their design places (twips converted to
// pixels); the main window's layout moves and sizes text1(), command3() and
// webBrowser() from there.
//
// The pane navigates only where the user asks (address box, buttons, a
// referrer opened from the results) or where a page's links lead; nothing it
// is given ever reaches a shell.
//
// Wiring for the main window:
//   statusTextChanged    -> status panel 2
//   connectingTextChanged -> status panel 3
//   captionChanged       -> the window's title
//   ResultsList::openRequested -> openReferrer
//   "Open" (Command9) clicked  -> openSelected(list.selectedAddress())
//   load step                  -> showStartPage()
//   WebsiteLauncher::openFailed -> openAddress
class BrowserPane : public QGroupBox {
    Q_OBJECT

public:
    // `view` is the page display the pane takes over; null means the real
    // browser (EngineWebView). The start page is `identity.website`.
    BrowserPane(const ProductIdentity& identity, MessageBoxes& messageBoxes,
                WebView* view = nullptr, QWidget* parent = nullptr);

    QLabel* urlLabel() const { return urlLabel_; }
    QLineEdit* text1() const { return text1_; }
    QToolButton* command3() const { return command3_; }
    QToolButton* command4() const { return command4_; }
    QToolButton* command5() const { return command5_; }
    QToolButton* command6() const { return command6_; }
    QToolButton* command7() const { return command7_; }
    WebView* webBrowser() const { return view_; }

    // The window caption for a completed page named `locationName`:
    // product name, " by ", company name, " - ", the name.
    static QString CaptionFor(const ProductIdentity& identity, const QString& locationName);

    // How an address typed or opened becomes something the browser loads.
    // The text itself is never changed; the conversion only adds what the
    // engine needs: a bare host name such as "example.org" becomes an
    // http:// address, surrounding blanks are dropped. Empty or malformed
    // text gives an invalid QUrl.
    static QUrl AddressToUrl(const QString& text);
    // The start page built into the program, shown when the website cannot
    // be reached: what the program does, how to begin, where the Help is,
    // with `productName` (escaped) where the page names the program.
    static QString OfflineStartPage(const QString& productName);
    // The same for an address held as the bytes read from a log: valid UTF-8
    // goes through AddressToUrl; other bytes are percent-encoded as they
    // stand, so the request carries exactly the bytes of the log.
    static QUrl AddressBytesToUrl(const QByteArray& bytes);

public slots:
    // The product website, passed to the browser unchanged; the address box
    // is not touched. When it cannot be loaded (no network), the built-in
    // OfflineStartPage stands in for the engine's error page.
    void showStartPage();

    // The double-click of the results list, three steps, a failing step
    // skipped: the address box := `address` (when given); status panel 3 :=
    // "connecting " and the address box's text; navigate to the address box.
    void openReferrer(const std::optional<QByteArray>& address);
    // "Open" (Command9): the same three steps for the results list's selected
    // row; with no selected row, or when the browser rejects the address,
    // the rest is skipped and "You must select at least one referrer" shown.
    void openSelected(const std::optional<QByteArray>& address);

    // An address the desktop could not open in a browser (the product
    // website): the address box := `address`, then navigate there.
    void openAddress(const QString& address);
    // Go and Enter in the address box: navigate to the box's text as typed.
    // Empty or malformed text is ignored.
    void Command3_Click();
    void Command4_Click();  // back
    void Command5_Click();  // forward
    void Command6_Click();  // stop
    void Command7_Click();  // refresh

signals:
    void statusTextChanged(const QString& text);
    void connectingTextChanged(const QString& text);
    void captionChanged(const QString& caption);

private:
    void putIntoAddressBox(const QByteArray& address);
    bool navigateToAddressBox();
    void onDocumentComplete();

    ProductIdentity identity_;
    MessageBoxes& messageBoxes_;
    QLabel* urlLabel_;
    QLineEdit* text1_;
    QToolButton* command3_;
    QToolButton* command4_;
    QToolButton* command5_;
    QToolButton* command6_;
    QToolButton* command7_;
    WebView* view_;
    // The bytes last put into the address box by openReferrer, so that
    // navigation uses them rather than their display form.
    QByteArray openedBytes_;
};

}  // namespace tallowby
