#include "BrowserPane.h"

#include <algorithm>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

#include "platform/MessageBoxes.h"
#include "platform/Twips.h"
#include "results/EngineWebView.h"

namespace tallowby {

namespace {

const char kNoReferrerMessage[] = "You must select at least one referrer";
const char kConnecting[] = "connecting ";

QRect DesignRect(int left, int top, int width, int height) {
    return {twips::ToPixels(left), twips::ToPixels(top), twips::ToPixels(width),
            twips::ToPixels(height)};
}

QToolButton* MakeButton(QWidget* parent, const char* name, QStyle::StandardPixmap picture,
                        const char* toolTip, const QRect& place) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(parent->style()->standardIcon(picture));
    button->setToolTip(QLatin1String(toolTip));
    button->setAutoRaise(false);
    button->setGeometry(place);
    return button;
}

bool IsValidUtf8(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

}  // namespace

BrowserPane::BrowserPane(const ProductIdentity& identity, MessageBoxes& messageBoxes, WebView* view,
                         QWidget* parent)
    : QGroupBox(QStringLiteral("Browser"), parent),
      identity_(identity),
      messageBoxes_(messageBoxes),
      view_(view != nullptr ? view : new EngineWebView) {
    setObjectName(QStringLiteral("frmBrowser"));
    resize(twips::ToPixels(6375), twips::ToPixels(7215));

    text1_ = new QLineEdit(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setGeometry(DesignRect(540, 240, 4875, 315));

    // The label ends where its design place ends, but grows to the left when
    // the font needs more room than the design gave it, and sits on the
    // address box's line.
    urlLabel_ = new QLabel(QStringLiteral("URL:"), this);
    urlLabel_->setObjectName(QStringLiteral("SkinLabel1"));
    urlLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const QRect label = DesignRect(120, 300, 375, 315);
    const int labelWidth = std::max(label.width(), urlLabel_->sizeHint().width());
    urlLabel_->setGeometry(std::max(0, label.right() + 1 - labelWidth), text1_->y(), labelWidth,
                           text1_->height());

    command3_ = MakeButton(this, "Command3", QStyle::SP_ArrowRight, "browse the entered url",
                           DesignRect(5460, 240, 795, 315));
    command4_ =
        MakeButton(this, "Command4", QStyle::SP_ArrowBack, "back", DesignRect(540, 600, 435, 435));
    command5_ = MakeButton(this, "Command5", QStyle::SP_ArrowForward, "forward",
                           DesignRect(1020, 600, 435, 435));
    command6_ = MakeButton(this, "Command6", QStyle::SP_BrowserStop, "stop",
                           DesignRect(1500, 600, 435, 435));
    command7_ = MakeButton(this, "Command7", QStyle::SP_BrowserReload, "refresh",
                           DesignRect(1980, 600, 435, 435));

    view_->setParent(this);
    view_->setObjectName(QStringLiteral("WebBrowser1"));
    view_->setGeometry(DesignRect(120, 1140, 6135, 5595));
    view_->show();

    connect(text1_, &QLineEdit::returnPressed, this, &BrowserPane::Command3_Click);
    connect(command3_, &QToolButton::clicked, this, &BrowserPane::Command3_Click);
    connect(command4_, &QToolButton::clicked, this, &BrowserPane::Command4_Click);
    connect(command5_, &QToolButton::clicked, this, &BrowserPane::Command5_Click);
    connect(command6_, &QToolButton::clicked, this, &BrowserPane::Command6_Click);
    connect(command7_, &QToolButton::clicked, this, &BrowserPane::Command7_Click);
    connect(view_, &WebView::statusTextChanged, this, &BrowserPane::statusTextChanged);
    connect(view_, &WebView::documentComplete, this, &BrowserPane::onDocumentComplete);
}

QString BrowserPane::CaptionFor(const ProductIdentity& identity, const QString& locationName) {
    return identity.productName + QStringLiteral(" by ") + identity.companyName +
           QStringLiteral(" - ") + locationName;
}

QUrl BrowserPane::AddressToUrl(const QString& text) {
    const QString address = text.trimmed();
    if (address.isEmpty()) {
        return {};
    }
    // An address with "://" is taken as written; anything else gets the
    // guesses a browser's address bar makes (a host name becomes http://).
    const QUrl url = address.contains(QLatin1String("://")) ? QUrl(address, QUrl::TolerantMode)
                                                            : QUrl::fromUserInput(address);
    if (!url.isValid() || url.isEmpty() || url.scheme().isEmpty()) {
        return {};
    }
    const QString scheme = url.scheme().toLower();
    if ((scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
        url.host().isEmpty()) {
        return {};
    }
    return url;
}

QUrl BrowserPane::AddressBytesToUrl(const QByteArray& bytes) {
    if (IsValidUtf8(bytes)) {
        return AddressToUrl(QString::fromUtf8(bytes));
    }
    QByteArray encoded;
    encoded.reserve(bytes.size() * 3);
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            encoded += '%';
            encoded += QByteArray::number(byte, 16).toUpper();
        } else {
            encoded += c;
        }
    }
    return AddressToUrl(QString::fromLatin1(encoded));
}

QString BrowserPane::OfflineStartPage(const QString& productName) {
    QFile page(QStringLiteral(":/tallowby/offline-start.html"));
    if (!page.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(page.readAll())
        .replace(QLatin1String("{{product}}"), productName.toHtmlEscaped());
}

void BrowserPane::showStartPage() {
    view_->navigateWithStandIn(AddressToUrl(identity_.website),
                               OfflineStartPage(identity_.productName));
}

bool BrowserPane::navigateToAddressBox() {
    const QString text = text1_->text();
    const bool openedHere = !openedBytes_.isEmpty() && text == QString::fromUtf8(openedBytes_);
    return view_->navigate(openedHere ? AddressBytesToUrl(openedBytes_) : AddressToUrl(text));
}

void BrowserPane::putIntoAddressBox(const QByteArray& address) {
    openedBytes_ = address;
    text1_->setText(QString::fromUtf8(address));
}

void BrowserPane::openReferrer(const std::optional<QByteArray>& address) {
    if (address) {
        putIntoAddressBox(*address);
    }
    emit connectingTextChanged(QLatin1String(kConnecting) + text1_->text());
    navigateToAddressBox();
}

void BrowserPane::openSelected(const std::optional<QByteArray>& address) {
    if (!address) {
        messageBoxes_.Show(QLatin1String(kNoReferrerMessage));
        return;
    }
    putIntoAddressBox(*address);
    emit connectingTextChanged(QLatin1String(kConnecting) + text1_->text());
    if (!navigateToAddressBox()) {
        messageBoxes_.Show(QLatin1String(kNoReferrerMessage));
    }
}

void BrowserPane::openAddress(const QString& address) {
    openedBytes_.clear();
    text1_->setText(address);
    navigateToAddressBox();
}

void BrowserPane::Command3_Click() {
    navigateToAddressBox();
}

void BrowserPane::Command4_Click() {
    view_->back();
}

void BrowserPane::Command5_Click() {
    view_->forward();
}

void BrowserPane::Command6_Click() {
    view_->stop();
}

void BrowserPane::Command7_Click() {
    view_->reload();
}

void BrowserPane::onDocumentComplete() {
    const QString name = view_->locationName();
    if (name.isEmpty()) {
        return;
    }
    emit captionChanged(CaptionFor(identity_, name));
    text1_->setText(view_->locationUrl());
}

}  // namespace tallowby
