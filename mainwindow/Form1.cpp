#include "Form1.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QProgressBar>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolButton>

#include <algorithm>

#include "ButtonIcons.h"
#include "PaneSplitter.h"
#include "SitesPanel.h"
#include "StatusPanel.h"
#include "WindowScanHost.h"
#include "identity/AboutWindow.h"
#include "identity/ProductIdentity.h"
#include "identity/WebsiteLauncher.h"
#include "identity/WindowIcons.h"
#include "platform/MessageBoxes.h"
#include "results/BrowserPane.h"
#include "results/FileCommands.h"
#include "results/ResultsList.h"
#include "settings/HelpWindow.h"
#include "settings/OptionsDialog.h"

namespace tallowby {

namespace {

const QString kChooserTip = QStringLiteral("Select the log files you wish to scan");
constexpr int kStatusBarPixels = 21;  // 315 twips
constexpr int kDirectoryIndent = 12;

// Shows the directory list as a tree: each entry indented by its depth.
class IndentedDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const int depth = index.data(LogFileChooser::DepthRole).toInt();
        option->rect.adjust(depth * kDirectoryIndent, 0, 0, 0);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const int depth = index.data(LogFileChooser::DepthRole).toInt();
        return QStyledItemDelegate::sizeHint(option, index) + QSize(depth * kDirectoryIndent, 0);
    }
};

QToolButton* MakeButton(QWidget* parent, const QString& caption, const QIcon& icon,
                        const QString& tip, const TwipsRect& place) {
    auto* button = new QToolButton(parent);
    button->setText(caption);
    button->setIcon(icon);
    button->setIconSize(QSize(24, 24));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    if (!tip.isEmpty()) {
        button->setToolTip(tip);
    }
    button->setGeometry(twips::ToPixels(place));
    return button;
}

StatusPanel* MakePanel(QWidget* statusBar) {
    auto* panel = new StatusPanel(statusBar);
    panel->show();
    return panel;
}

}  // namespace

void EndProgram() {
    // Not quit(): that asks every window first and is dropped when one says
    // no, as the main window does while a scan is still unwinding.
    QCoreApplication::exit(0);
}

Form1::Form1(Form1Services services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)), store_(services_.platform.settings) {
    store_.setOnSaveFailed([this](const QString& where) { ReportSettingsProblem(where); });
    store_.setOnSaved([this] { SettingsSaved(); });
    BuildControls();
    Load();
}

Form1::~Form1() {
    // The list shows the scanner's work list in place, and the scanner goes
    // before the list does.
    lstResults_->results().clear();
}

void Form1::BuildControls() {
    client_ = new QWidget(this);
    setCentralWidget(client_);
    // The client area the window is designed with: 13455 x 9210 twips.
    resize(twips::ToPixels(13455), twips::ToPixels(9210) + menuBar()->sizeHint().height());

    // "Toggle View" needs more room under its picture than the other
    // captions; Scan and Stop move right to make it, Options and the
    // website button keep their places.
    command10_ = MakeButton(client_, QStringLiteral("Toggle View"), ToggleViewIcon(),
                            QStringLiteral("See a preview of your message in the currently "
                                           "selected format"),
                            {60, 60, 1140, 800});
    cmdGo_ =
        MakeButton(client_, QStringLiteral("Scan"), ScanIcon(), QString(), {1260, 60, 800, 800});
    cmdStop_ = MakeButton(client_, QStringLiteral("Stop"), StopIcon(),
                          QStringLiteral("Stop Scanning Files"), {2100, 60, 795, 795});
    cmdOpts_ = MakeButton(client_, QStringLiteral("Options"), OptionsIcon(),
                          QStringLiteral("Options"), {2940, 60, 795, 795});
    command8_ = MakeButton(client_, QString(), WebsiteIcon(), QStringLiteral("Visit us!"),
                           geometry_.Command8);
    command8_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    BuildChooserFrame();
    BuildResultsFrame();
    BuildMenus();
    splPanes_ = new PaneSplitter(client_);
    connect(splPanes_, &PaneSplitter::moveRequested, this, &Form1::MovePaneSplitter);
    connect(splPanes_, &PaneSplitter::moveFinished, this, &Form1::KeepPaneSplitter);

    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(kStatusBarPixels);
    panels_.append(MakePanel(bar));
    progressBar1_ = new QProgressBar(bar);
    progressBar1_->setRange(0, WindowScanHost::kProgressSteps);
    progressBar1_->setValue(0);
    progressBar1_->setTextVisible(false);

    connect(cmdGo_, &QToolButton::clicked, this, &Form1::cmdGo_Click);
    connect(cmdStop_, &QToolButton::clicked, this, &Form1::cmdStop_Click);
    connect(cmdOpts_, &QToolButton::clicked, this, &Form1::cmdOpts_Click);
    connect(command8_, &QToolButton::clicked, this, &Form1::Command8_Click);
    connect(command10_, &QToolButton::clicked, this, &Form1::ToggleResultsView);
    connect(cmdExpnd_, &QToolButton::clicked, this, &Form1::ToggleWidePanes);
}

void Form1::BuildChooserFrame() {
    frmMain_ = new QGroupBox(QStringLiteral("Select Log Files"), client_);
    frmMain_->setGeometry(twips::ToPixels(geometry_.frmMain));
    cmdSelAll_ = MakeButton(frmMain_, QStringLiteral("Select All Files"), SelectAllIcon(),
                            QStringLiteral("Select all files in the current directory"),
                            {60, 240, 1695, 795});
    command1_ =
        MakeButton(frmMain_, QStringLiteral("Open Selected File"), OpenFileIcon(),
                   QStringLiteral("open the currently selected file"), {1800, 240, 1755, 795});

    chooser_ = std::make_unique<LogFileChooser>(store_, QString(), services_.platform.messageBoxes,
                                                services_.volumes);
    chooser_->setFolderIcons(style()->standardIcon(QStyle::SP_DirOpenIcon),
                             style()->standardIcon(QStyle::SP_DirClosedIcon));

    drive1_ = new QComboBox(frmMain_);
    drive1_->setModel(chooser_->driveModel());
    drive1_->setToolTip(kChooserTip);
    dir1_ = new QListView(frmMain_);
    dir1_->setModel(chooser_->directoryModel());
    dir1_->setItemDelegate(new IndentedDelegate(dir1_));
    dir1_->setUniformItemSizes(true);
    dir1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dir1_->setToolTip(kChooserTip);
    file1_ = new QListView(frmMain_);
    file1_->setModel(chooser_->fileModel());
    file1_->setSelectionModel(chooser_->fileSelection());
    file1_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    file1_->setUniformItemSizes(true);  // a folder of many thousands of files stays quick
    file1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    file1_->setToolTip(kChooserTip);
    drive1_->setGeometry(twips::ToPixels(geometry_.Drive1));
    dir1_->setGeometry(twips::ToPixels(geometry_.Dir1));
    file1_->setGeometry(twips::ToPixels(geometry_.File1));

    connect(chooser_.get(), &LogFileChooser::driveShown, drive1_, [this](int row) {
        const QSignalBlocker quiet(drive1_);
        drive1_->setCurrentIndex(row);
    });
    connect(chooser_.get(), &LogFileChooser::directoryShown, dir1_, [this](int row) {
        const QModelIndex current = chooser_->directoryModel()->index(row, 0);
        dir1_->setCurrentIndex(current);
        dir1_->scrollTo(current);
    });
    connect(drive1_, &QComboBox::activated, this,
            [this](int row) { chooser_->setDrive(drive1_->itemText(row)); });
    connect(dir1_, &QListView::activated, this, [this](const QModelIndex& index) {
        const QString path = index.data(LogFileChooser::PathRole).toString();
        if (!chooser_->setDirectoryPath(path)) {
            services_.platform.messageBoxes.Show(QStringLiteral("Error: Directory does not exist"));
        }
    });
    connect(cmdSelAll_, &QToolButton::clicked, this, [this] { chooser_->cmdSelAll_Click(); });
    connect(command1_, &QToolButton::clicked, this, [this] {
        OpenSelectedFile(chooser_->filePath(), chooser_->currentFileName(),
                         services_.platform.shell, services_.platform.messageBoxes);
    });

    chooser_->Start(services_.startDirectory);
}

void Form1::BuildResultsFrame() {
    frame1_ = new QGroupBox(QStringLiteral("Referrer List"), client_);
    frame1_->setGeometry(twips::ToPixels(geometry_.Frame1));
    frame1_->hide();
    command9_ = MakeButton(frame1_, QStringLiteral("Open"), OpenReferrerIcon(), QString(),
                           {120, 240, 795, 795});
    cmdHtml_ = MakeButton(frame1_, QStringLiteral("Export"), ExportIcon(),
                          QStringLiteral("Export the referers list to HTML"), {960, 240, 795, 795});
    imgExpand_ = ExpandIcon();
    imgContract_ = ContractIcon();
    cmdExpnd_ = MakeButton(frame1_, QStringLiteral("Expand"), imgExpand_, QStringLiteral("Expand"),
                           {1800, 240, 1935, 795});
    lstResults_ = new ResultsList(frame1_);
    lstResults_->setGeometry(twips::ToPixels(geometry_.lstResults));

    connect(cmdHtml_, &QToolButton::clicked, this, [this] {
        ExportReferrers(chooser_->filePath(), scanner_.workList(), chooser_->selectedFilePaths(),
                        services_.platform.messageBoxes);
    });
}

void Form1::BuildMenus() {
    QMenuBar* bar = menuBar();
    // Alt and the underlined letter opens a menu or picks an item; F10
    // opens the first menu.
    QMenu* menuFile = bar->addMenu(QStringLiteral("&File"));
    mnuFileExportCsv_ = menuFile->addAction(QStringLiteral("Export as &CSV…"));
    mnuFileExportJson_ = menuFile->addAction(QStringLiteral("Export as &JSON…"));
    mnuFileReport_ = menuFile->addAction(QStringLiteral("Save &Report…"));
    menuFile->addSeparator();
    mnuFileExit_ = menuFile->addAction(QStringLiteral("E&xit"));
    QMenu* mnuAction = bar->addMenu(QStringLiteral("&Action"));
    mnuAction_ = mnuAction;
    mnuActionStart_ = mnuAction->addAction(QStringLiteral("&Start Scan"));
    mnuActionStop_ = mnuAction->addAction(QStringLiteral("St&op Scan"));
    mnuActionToggle_ = mnuAction->addAction(QStringLiteral("&Toggle View"));
    QMenu* mnuOptions = bar->addMenu(QStringLiteral("&Options"));
    mnuOptionsItem_ = mnuOptions->addAction(QStringLiteral("&Options"));
    QMenu* mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    mnuHelpItem_ = mnuHelp->addAction(QStringLiteral("View &Help"));
    QMenu* mnuAbout = bar->addMenu(QStringLiteral("A&bout"));
    mnuAboutItem_ = mnuAbout->addAction(QStringLiteral("&About this software"));
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this,
            [bar] { bar->setActiveAction(bar->actions().value(0)); });

    connect(mnuFileExportCsv_, &QAction::triggered, this, [this] { ExportShownView(false); });
    connect(mnuFileExportJson_, &QAction::triggered, this, [this] { ExportShownView(true); });
    // An item that duplicates a button runs exactly the button's command.
    connect(mnuFileReport_, &QAction::triggered, this, &Form1::mnuFileReport_Click);
    connect(mnuFileExit_, &QAction::triggered, this, &Form1::mnuFileExit_Click);
    connect(mnuActionStart_, &QAction::triggered, this, &Form1::cmdGo_Click);
    connect(mnuActionStop_, &QAction::triggered, this, &Form1::cmdStop_Click);
    connect(mnuActionToggle_, &QAction::triggered, this, &Form1::ToggleResultsView);
    connect(mnuOptionsItem_, &QAction::triggered, this, &Form1::cmdOpts_Click);
    connect(mnuHelpItem_, &QAction::triggered, this, &Form1::mnuHelpItem_Click);
    connect(mnuAboutItem_, &QAction::triggered, this, &Form1::mnuAboutItem_Click);
}

void Form1::BuildBrowserPane(WebView* view) {
    frmBrowser_ =
        new BrowserPane(TheProductIdentity(), services_.platform.messageBoxes, view, client_);
    frmBrowser_->setGeometry(twips::ToPixels(geometry_.frmBrowser));
    frmBrowser_->show();
}

void Form1::AddStatusPanels() {
    panels_.append(MakePanel(statusBar()));
    panels_.append(MakePanel(statusBar()));
    if (!settingsProblem_.isEmpty()) {
        panels_[1]->setText(settingsProblem_);
        panels_[2]->holdNote(settingsProblem_);
    }
}

void Form1::ReportSettingsProblem(const QString& where) {
    settingsProblem_ = QStringLiteral("Settings cannot be saved");
    if (!where.isEmpty()) {
        settingsProblem_ += QStringLiteral(": ") + where;
    }
    if (panels_.size() < 3) {
        return;  // the panels show it once they exist
    }
    panels_[2]->holdNote(settingsProblem_);
    if (settingsProblemReported_) {
        return;
    }
    settingsProblemReported_ = true;
    panels_[1]->setText(settingsProblem_);
}

void Form1::SettingsSaved() {
    if (settingsProblem_.isEmpty()) {
        return;
    }
    settingsProblem_.clear();
    settingsProblemReported_ = false;
    if (panels_.size() >= 3) {
        panels_[2]->releaseNote();
    }
}

QLabel* Form1::statusPanel(int number) const {
    return number >= 1 && number <= panels_.size() ? panels_.at(number - 1) : nullptr;
}

void Form1::Load() {
    InitProductIdentity();
    const ProductIdentity& identity = TheProductIdentity();
    application_ = identity.productName;
    chooser_->setApplication(application_);
    options_ = std::make_unique<OptionsDialogOpener>(store_, application_, appSettings_);
    help_ = std::make_unique<HelpWindowOpener>(
        store_, application_,
        services_.helpFilePath.isEmpty() ? HelpFilePath() : services_.helpFilePath);
    about_ = std::make_unique<AboutWindowOpener>(services_.launcher);
    BuildBrowserPane(services_.webView);

    SetWindowIcons(this, QStringLiteral("AAA"), true);
    setWindowTitle(identity.productName + QStringLiteral(" by ") + identity.companyName);
    command8_->setText(QStringLiteral("Visit ") + identity.website);
    lstResults_->setUpColumns();

    // The last log folder. Whatever goes wrong here is passed over in
    // silence: the chooser stays where it got to and start-up goes on.
    try {
        chooser_->RestoreSavedPath();
    } catch (...) {
    }

    LoadSettings(store_, application_, appSettings_);
    chosenPaneWidth_ = std::max(
        0, store_.GetSetting(application_, kSectionSettings, kKeyPaneWidth, QString()).toInt());
    scanSettings_ = appSettings_;
    AddStatusPanels();
    ConnectAfterLoad();
    LayoutControls();
    frmBrowser_->showStartPage();
    if (ShouldShowHelpAtStartup(store_, application_)) {
        help_->Open();
    }
    if (appSettings_.strYourWebsite == strPlaceholderDomain) {
        cmdOpts_Click();
    }
    loaded_ = true;
}

void Form1::ConnectAfterLoad() {
    QLabel* panel2 = statusPanel(2);
    WindowScanHost::Window window;
    window.statusPanel2 = panel2;
    window.progressBar = progressBar1_;
    window.chooser = chooser_.get();
    window.settings = &appSettings_;
    window.messageBoxes = &services_.platform.messageBoxes;
    window.scanner = &scanner_;
    scanHost_ = std::make_unique<WindowScanHost>(std::move(window));
    sitesPanel_ = std::make_unique<SitesPanel>(
        SitesPanel::Parts{frame1_, mnuAction_, lstResults_, frmBrowser_, panel2, &scanner_,
                          &services_.platform.messageBoxes, &appSettings_});

    connect(lstResults_, &ResultsList::addressClicked, panel2, &QLabel::setText);
    connect(lstResults_, &ResultsList::openRequested, frmBrowser_, &BrowserPane::openReferrer);
    connect(command9_, &QToolButton::clicked, this,
            [this] { frmBrowser_->openSelected(sitesPanel_->selectedAddress()); });
    connect(frmBrowser_, &BrowserPane::statusTextChanged, panel2, &QLabel::setText);
    connect(frmBrowser_, &BrowserPane::connectingTextChanged, panels_[2], &StatusPanel::showText);
    connect(frmBrowser_, &BrowserPane::captionChanged, this, &QWidget::setWindowTitle);
    // Visit and the About window's link: a desktop that cannot show the
    // website says so, and the browser pane shows it instead.
    connect(&services_.launcher, &WebsiteLauncher::openFailed, this,
            [this](const QString& address, const QString& reason) {
                frmBrowser_->openAddress(address);
                services_.platform.messageBoxes.Show(
                    QStringLiteral("Could not open ") + address +
                    QStringLiteral(" in a web browser: ") + reason +
                    QStringLiteral("\nIt is shown in the browser pane instead."));
            });
}

void Form1::cmdOpts_Click() {
    options_->Open();
}

void Form1::Command8_Click() {
    services_.launcher.OpenWebsite();
}

void Form1::mnuHelpItem_Click() {
    help_->Open();
}

void Form1::mnuAboutItem_Click() {
    about_->Open();
}

void Form1::mnuFileExit_Click() {
    // Ends the run at once, without the unload steps. A scan in progress is
    // further down this very call stack: leaving the event loop from here
    // would be undone by the turn the scan is taking, so the windows go now
    // and the run ends as soon as the scan has unwound.
    ending_ = true;
    if (scanning_) {
        exitAfterScan_ = true;
        scanner_.requestStop();
        scanHost_->Abandon();
        HideEverything();
        return;
    }
    services_.endProgram();
}

void Form1::HideEverything() {
    options_->Unload();
    help_->Unload();
    about_->Unload();
    hide();
}

void Form1::closeEvent(QCloseEvent* event) {
    if (scanning_) {
        // The scan's loop is further down this very call stack: stop it
        // now, take the window away, and let the scan unwind before the
        // real close.
        scanner_.requestStop();
        scanHost_->Abandon();
        closeAfterScan_ = true;
        HideEverything();
        event->ignore();
        return;
    }
    Unload();
    event->accept();
}

void Form1::Unload() {
    options_->Unload();
    help_->Unload();
    if (sitesPanel_) {
        sitesPanel_->UnloadChart();
    }
    if (ending_) {
        return;
    }
    ending_ = true;
    WebsiteLauncher& launcher = services_.launcher;
    if (launcher.isShowing()) {
        // The launcher closes itself within a second; the run ends then.
        connect(&launcher, &WebsiteLauncher::launcherClosed, &launcher, services_.endProgram,
                Qt::SingleShotConnection);
        return;
    }
    services_.endProgram();
}

}  // namespace tallowby
