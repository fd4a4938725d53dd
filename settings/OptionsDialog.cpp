#include "OptionsDialog.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "SettingsStore.h"
#include "platform/OnTop.h"
#include "platform/WindowPlacement.h"

namespace tallowby {

namespace {

// 4680 x 3195 twips at 15 twips per pixel, grown to hold the group of the
// referrer rules below the three check boxes.
constexpr QSize kClientSize(312, 213);
constexpr int kRulesGroupHeight = 140;
// How far "Leave out crawlers" stands in under the box it depends on.
constexpr int kDependentIndent = 20;

QString CheckText(const QCheckBox* box) {
    return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

}  // namespace

Form2::Form2(SettingsStore& store, QString application, AppSettings& appSettings, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      store_(store),
      application_(std::move(application)),
      appSettings_(appSettings) {
    BuildControls();

    // Load step: what the program holds now, not what the store says.
    text1_->setText(appSettings_.strYourWebsite);
    if (appSettings_.bGetFileTypes) {
        check1_->setChecked(true);
    }
    if (appSettings_.bRemoveDupes) {
        check2_->setChecked(true);
    }
    if (appSettings_.bDisplayStats) {
        check3_->setChecked(true);
    }
    check4_->setChecked(appSettings_.bHttpsReferrers);
    check5_->setChecked(appSettings_.bQuotedReferrers);
    check6_->setChecked(appSettings_.bHideSpam);
    check7_->setChecked(appSettings_.bReferrerField);
    check8_->setChecked(appSettings_.bNoCrawlers);
    check8_->setEnabled(check7_->isChecked());
}

void Form2::BuildControls() {
    setWindowTitle(QStringLiteral("Options"));

    auto* label1 = new QLabel(QStringLiteral("Enter your domain:"), this);
    text1_ = new QLineEdit(strPlaceholderDomain, this);
    auto* label2 = new QLabel(QStringLiteral("[i.e. example.com, without http:// or www]"), this);
    auto* label3 = new QLabel(
        QStringLiteral("This will ensure that your site does not show up in the referer list."),
        this);
    label3->setWordWrap(true);
    label1->setBuddy(text1_);
    auto* line1 = new QFrame(this);
    line1->setFrameShape(QFrame::HLine);
    line1->setFrameShadow(QFrame::Sunken);
    check1_ = new QCheckBox(QStringLiteral("Display Common Filetypes [img] [zip] [exe]"), this);
    check2_ = new QCheckBox(QStringLiteral("Remove Duplicates"), this);
    check3_ = new QCheckBox(QStringLiteral("Display statistics after completion"), this);
    auto* group1 = new QGroupBox(QStringLiteral("Today's logs"), this);
    check4_ = new QCheckBox(QStringLiteral("Also find https:// referrers"), group1);
    check5_ = new QCheckBox(
        QStringLiteral("End quoted referrers at the closing quote (Apache, nginx)"), group1);
    check6_ = new QCheckBox(QStringLiteral("Hide known referrer spam"), group1);
    check7_ = new QCheckBox(QStringLiteral("Read the referrer field of known log formats"), group1);
    check8_ = new QCheckBox(QStringLiteral("Leave out crawlers"), group1);
    auto* groupLayout = new QVBoxLayout(group1);
    groupLayout->setContentsMargins(8, 4, 8, 4);
    groupLayout->setSpacing(2);
    groupLayout->addWidget(check4_);
    groupLayout->addWidget(check5_);
    groupLayout->addWidget(check6_);
    groupLayout->addWidget(check7_);
    auto* dependent = new QHBoxLayout;
    dependent->addSpacing(kDependentIndent);
    dependent->addWidget(check8_);
    groupLayout->addLayout(dependent);
    command1_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                                QStringLiteral("Ok"), this);
    command1_->setMinimumWidth(80);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(4);
    layout->addWidget(label1);
    layout->addWidget(text1_);
    layout->addWidget(label2);
    layout->addWidget(label3);
    layout->addSpacing(2);
    layout->addWidget(line1);
    layout->addWidget(check1_);
    layout->addWidget(check2_);
    layout->addWidget(check3_);
    layout->addSpacing(2);
    layout->addWidget(group1);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(command1_);
    layout->addLayout(buttons);

    setTabOrder(text1_, check1_);
    setTabOrder(check1_, check2_);
    setTabOrder(check2_, check3_);
    setTabOrder(check3_, check4_);
    setTabOrder(check4_, check5_);
    setTabOrder(check5_, check6_);
    setTabOrder(check6_, check7_);
    setTabOrder(check7_, check8_);
    setTabOrder(check8_, command1_);
    text1_->setFocus();

    connect(command1_, &QPushButton::clicked, this, &Form2::Command1_Click);
    // Crawlers are known only by the user-agent field, so the choice is
    // offered only while the fields are read; it keeps its tick meanwhile.
    connect(check7_, &QCheckBox::toggled, check8_, &QWidget::setEnabled);
    // Wide and tall enough for every caption in the fonts at hand.
    const QSize needed = layout->sizeHint();
    setFixedSize(std::max(kClientSize.width(), needed.width()),
                 std::max(kClientSize.height() + kRulesGroupHeight, needed.height()));
    CentreOnScreen(this);
}

void Form2::Command1_Click() {
    // The domain goes in exactly as typed: blanks, capitals and any
    // "http://" stay; the hint label is the only guidance.
    const std::pair<const QString&, QString> values[] = {
        {kKeyYourWebsite, text1_->text()},        {kKeyGetFileTypes, CheckText(check1_)},
        {kKeyRemoveDupes, CheckText(check2_)},    {kKeyDisplayStats, CheckText(check3_)},
        {kKeyHttpsReferrers, CheckText(check4_)}, {kKeyQuotedReferrers, CheckText(check5_)},
        {kKeyHideSpam, CheckText(check6_)},       {kKeyReferrerField, CheckText(check7_)},
        {kKeyNoCrawlers, CheckText(check8_)},
    };
    bool stored = true;
    for (const auto& [key, value] : values) {
        stored = store_.SaveSetting(application_, kSectionData, key, value) && stored;
    }
    LoadSettings(store_, application_, appSettings_);
    if (!stored) {
        // The store still holds (some of) the earlier values; the run goes
        // on with what the user chose all the same.
        appSettings_.strYourWebsite = text1_->text();
        appSettings_.bGetFileTypes = check1_->isChecked();
        appSettings_.bRemoveDupes = check2_->isChecked();
        appSettings_.bDisplayStats = check3_->isChecked();
        appSettings_.bHttpsReferrers = check4_->isChecked();
        appSettings_.bQuotedReferrers = check5_->isChecked();
        appSettings_.bHideSpam = check6_->isChecked();
        appSettings_.bReferrerField = check7_->isChecked();
        appSettings_.bNoCrawlers = check8_->isChecked();
    }
    emit settingsSaved();
    close();
}

void Form2::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            command1_->click();
            return;
        case Qt::Key_Escape:
            close();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

Form2* OptionsDialogOpener::Open() {
    const bool isNew = !slot_.isLoaded();
    Form2* dialog = slot_.Load([this] { return new Form2(store_, application_, appSettings_); });
    if (isNew) {
        QObject::connect(dialog, &Form2::settingsSaved, dialog, [this] {
            if (onSaved_) {
                onSaved_();
            }
        });
    }
    ShowAndBringForward(dialog);
    SetOnTop(dialog, true);
    return dialog;
}

}  // namespace tallowby
