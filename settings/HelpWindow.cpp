#include "HelpWindow.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextCursor>
#include <QTextEdit>

#include "AppSettings.h"
#include "SettingsStore.h"
#include "engine/read/FilePaths.h"
#include "platform/OnTop.h"
#include "platform/RtfReader.h"
#include "platform/WindowPlacement.h"

namespace tallowby {

namespace {

// 10290 x 7920 twips, the text 7515 twips high, at 15 twips per pixel.
constexpr int kClientWidth = 686;
constexpr int kClientHeight = 528;
constexpr int kTextHeight = 501;

const QString kShowHelpDefault = QStringLiteral("1");

// Check box states as the store writes them: 0 unticked, 1 ticked, 2 greyed.
QString StateText(Qt::CheckState state) {
    switch (state) {
        case Qt::Checked:
            return QStringLiteral("1");
        case Qt::PartiallyChecked:
            return QStringLiteral("2");
        default:
            return QStringLiteral("0");
    }
}

Qt::CheckState StateFromNumber(int number) {
    return number == 1 ? Qt::Checked : number == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

}  // namespace

QString HelpFilePathFor(const QString& programFolder) {
    const QString beside = programFolder + QStringLiteral("/Help.rtf");
    const QString installed = QDir::cleanPath(
        programFolder + QStringLiteral("/" TALLOWBY_INSTALLED_HELP_FOLDER "/Help.rtf"));
    const auto exists = [](const QString& path) {
        return FileExists(QFile::encodeName(path).toStdString());
    };
    return !exists(beside) && exists(installed) ? installed : beside;
}

QString HelpFilePath() {
    return HelpFilePathFor(QCoreApplication::applicationDirPath());
}

Form8::Form8(SettingsStore& store, QString application, const QString& helpFilePath,
             QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      store_(store),
      application_(std::move(application)) {
    setWindowTitle(QStringLiteral("Readme/Help"));
    setFixedSize(kClientWidth, kClientHeight);

    rtf1_ = new QTextEdit(this);
    rtf1_->setReadOnly(true);
    rtf1_->setGeometry(0, 0, kClientWidth, kTextHeight);
    check1_ = new QCheckBox(QStringLiteral("Show at Startup"), this);
    check1_->setChecked(true);
    const int boxHeight = check1_->sizeHint().height();
    check1_->setGeometry(8, kTextHeight + (kClientHeight - kTextHeight - boxHeight) / 2,
                         check1_->sizeHint().width(), boxHeight);
    // Every change of state is saved, also the one the load step makes.
    connect(check1_, &QCheckBox::stateChanged, this, &Form8::Check1_Click);
    CentreOnScreen(this);

    // Load step. Each step goes on whatever the one before did.
    if (!FileExists(QFile::encodeName(helpFilePath).toStdString())) {
        setVisible(false);
        return;
    }
    QFile file(helpFilePath);
    if (file.open(QIODevice::ReadOnly)) {
        ReadRtfInto(file.readAll(), *rtf1_->document());
        rtf1_->document()->setDocumentMargin(10);
        rtf1_->moveCursor(QTextCursor::Start);  // open at the top of the text
    }
    SetOnTop(this, true);
    const QString showHelp =
        store_.GetSetting(application_, kSectionSettings, kKeyShowHelp, kShowHelpDefault);
    if (const std::optional<int> state = SettingTextToCheckState(showHelp)) {
        // A greyed box is shown as stored, but the user's clicks only tick
        // and untick (see Check1_Click).
        check1_->setTristate(*state == 2);
        check1_->setCheckState(StateFromNumber(*state));
    }
}

void Form8::Check1_Click() {
    if (check1_->checkState() != Qt::PartiallyChecked) {
        check1_->setTristate(false);
    }
    store_.SaveSetting(application_, kSectionSettings, kKeyShowHelp,
                       StateText(check1_->checkState()));
}

Form8* HelpWindowOpener::Open() {
    Form8* window = slot_.Load([this] { return new Form8(store_, application_, helpFilePath_); });
    ShowAndBringForward(window);
    return window;
}

bool ShouldShowHelpAtStartup(const SettingsStore& store, const QString& application) {
    return store.GetSetting(application, kSectionSettings, kKeyShowHelp, kShowHelpDefault) ==
           QStringLiteral("1");
}

}  // namespace tallowby
