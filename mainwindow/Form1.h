#pragma once

#include <QDir>
#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "DirectoryListing.h"
#include "LayoutControls.h"
#include "LogFileChooser.h"
#include "engine/scan/Scanner.h"
#include "platform/PlatformServices.h"
#include "settings/AppSettings.h"
#include "settings/SettingsStore.h"

class QAction;
class QGroupBox;
class QLabel;
class QListView;
class QComboBox;
class QMenu;
class QProgressBar;
class QToolButton;

namespace tallowby {

class AboutWindowOpener;
class BrowserPane;
class FileDialogs;
class HelpWindowOpener;
class OptionsDialogOpener;
class PaneSplitter;
class ResultsList;
class SitesPanel;
class StatusPanel;
class WebView;
class WebsiteLauncher;
class WindowScanHost;

// How the program ends: the main event loop is left with status 0, also
// when it is asked from inside a nested turn of it; the windows go with the
// program's objects when main() returns.
void EndProgram();

// What the main window is given by whoever creates it. Tests replace the
// platform services, the drives, the starting folder and the page display.
struct Form1Services {
    PlatformServices platform;
    WebsiteLauncher& launcher;
    // Ends the run: closes every window and leaves the event loop.
    std::function<void()> endProgram;
    LogFileChooser::VolumeSource volumes = MountedVolumeRoots;
    QString startDirectory = QDir::currentPath();
    // Where the read-me lies; empty means beside the program.
    QString helpFilePath = QString();
    // The page display of the browser pane; null means the real browser.
    // The window takes ownership.
    WebView* webView = nullptr;
    // Where File > "Export as …" asks for a path; null means the real dialogs.
    FileDialogs* fileDialogs = nullptr;
};

// The main window. Its constructor is the load step: it builds the controls
// and then runs the start-up sequence in its fixed order (identity, icons,
// caption, result columns, the last log folder, the scan options, the status
// panels, the layout, the start page, Help and Options when due).
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(Form1Services services, QWidget* parent = nullptr);
    ~Form1() override;

    // --- Controls, by the names the rest of the program uses.
    QToolButton* Command10() const { return command10_; }
    QToolButton* cmdGo() const { return cmdGo_; }
    QToolButton* cmdStop() const { return cmdStop_; }
    QToolButton* cmdOpts() const { return cmdOpts_; }
    QToolButton* Command8() const { return command8_; }
    QGroupBox* frmMain() const { return frmMain_; }
    QToolButton* cmdSelAll() const { return cmdSelAll_; }
    QToolButton* Command1() const { return command1_; }
    QComboBox* Drive1() const { return drive1_; }
    QListView* Dir1() const { return dir1_; }
    QListView* File1() const { return file1_; }
    QGroupBox* Frame1() const { return frame1_; }
    QToolButton* Command9() const { return command9_; }
    QToolButton* cmdHtml() const { return cmdHtml_; }
    QToolButton* cmdExpnd() const { return cmdExpnd_; }
    ResultsList* lstResults() const { return lstResults_; }
    BrowserPane* frmBrowser() const { return frmBrowser_; }
    // The handle between the left frames and the browser pane.
    PaneSplitter* splPanes() const { return splPanes_; }
    QProgressBar* ProgressBar1() const { return progressBar1_; }
    // Status-bar panel `number`, counted from 1; null before it exists.
    QLabel* statusPanel(int number) const;

    QAction* mnuFileExportCsv() const { return mnuFileExportCsv_; }    // "Export as CSV…"
    QAction* mnuFileExportJson() const { return mnuFileExportJson_; }  // "Export as JSON…"
    QAction* mnuFileReport() const { return mnuFileReport_; }  // File > "Save Report…"
    QAction* mnuFileExit() const { return mnuFileExit_; }
    QAction* mnuActionStart() const { return mnuActionStart_; }
    QAction* mnuActionStop() const { return mnuActionStop_; }
    QAction* mnuActionToggle() const { return mnuActionToggle_; }
    QAction* MnuOptionsItem() const { return mnuOptionsItem_; }
    QAction* mnuHelpItem() const { return mnuHelpItem_; }
    QAction* mnuAboutItem() const { return mnuAboutItem_; }

    // --- State the window owns.
    LogFileChooser& chooser() { return *chooser_; }
    Scanner& scanner() { return scanner_; }
    AppSettings& appSettings() { return appSettings_; }
    WindowScanHost& scanHost() { return *scanHost_; }
    const FormGeometry& layoutGeometry() const { return geometry_; }
    OptionsDialogOpener& optionsDialog() { return *options_; }
    HelpWindowOpener& helpWindow() { return *help_; }
    AboutWindowOpener& aboutWindow() { return *about_; }
    // The grouped views (sites, sources, search keywords) and the chart
    // window (after the load step).
    SitesPanel& sitesPanel() { return *sitesPanel_; }

    // Chooser view: the file chooser shows; results view: the results list.
    bool resultsViewShown() const;
    // The Scan command is under way: reading, collapse, fill and report.
    bool scanning() const { return scanning_; }
    bool widePanes() const;

    // Asks where to save the report, starting at `suggested`; an empty text
    // means cancelled. By default the desktop's save dialog.
    using SavePathChooser = std::function<QString(QWidget* parent, const QString& suggested)>;
    void setReportPathChooser(SavePathChooser chooser) { chooseReportPath_ = std::move(chooser); }

public slots:
    void cmdGo_Click();
    void cmdStop_Click();
    void cmdOpts_Click();
    void Command8_Click();
    void ToggleResultsView();  // Command10 and "Toggle View"
    void ToggleWidePanes();    // cmdExpnd
    void LayoutControls();
    // The splitter asks for the line between the panes at `x` (client
    // pixels): the left frames take that width (within bounds) in
    // narrow-pane mode, which a move in wide-pane mode returns to.
    void MovePaneSplitter(int x);
    // The splitter was let go: its width is remembered for the next start.
    void KeepPaneSplitter();
    void mnuFileReport_Click();
    void mnuFileExit_Click();
    // File > "Export as CSV…" and "Export as JSON…": the list on screen (the
    // pages, or the sites with "Group by Site" on) in the order shown, in
    // tallowby-scan's form, where a save dialog that starts in the log
    // folder says.
    void ExportShownView(bool json);
    void mnuHelpItem_Click();
    void mnuAboutItem_Click();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Enter (or Return) presses the button that has the focus, as Space does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // After the reading: the rows, then (unless stopped) the "COMPLETE: "
    // text, the statistics box and the switch to the results view.
    void ShowScanResults();
    void BuildControls();
    void BuildChooserFrame();
    void BuildResultsFrame();
    void BuildMenus();
    void BuildBrowserPane(WebView* view);
    void AddStatusPanels();
    void ConnectAfterLoad();
    void Load();
    void ApplyGeometry();
    void Unload();
    // Takes the main window and its secondary windows off the screen.
    void HideEverything();

    Form1Services services_;
    SettingsStore store_;
    QString application_;
    AppSettings appSettings_;
    Scanner scanner_;
    std::unique_ptr<LogFileChooser> chooser_;
    std::unique_ptr<WindowScanHost> scanHost_;
    std::unique_ptr<OptionsDialogOpener> options_;
    std::unique_ptr<HelpWindowOpener> help_;
    std::unique_ptr<AboutWindowOpener> about_;
    std::unique_ptr<SitesPanel> sitesPanel_;
    FormGeometry geometry_ = DesignGeometry();
    // The left frames' width the user gave them with the splitter, in
    // twips; 0 until they do (NarrowPaneWidth).
    double chosenPaneWidth_ = 0;
    double outerWidth() const;
    bool loaded_ = false;
    bool scanning_ = false;
    bool closeAfterScan_ = false;
    bool exitAfterScan_ = false;
    bool ending_ = false;
    // The options the last scan ran with, for its report.
    AppSettings scanSettings_;
    SavePathChooser chooseReportPath_;

    QWidget* client_ = nullptr;
    QToolButton* command10_ = nullptr;
    QToolButton* cmdGo_ = nullptr;
    QToolButton* cmdStop_ = nullptr;
    QToolButton* cmdOpts_ = nullptr;
    QToolButton* command8_ = nullptr;
    QGroupBox* frmMain_ = nullptr;
    QToolButton* cmdSelAll_ = nullptr;
    QToolButton* command1_ = nullptr;
    QComboBox* drive1_ = nullptr;
    QListView* dir1_ = nullptr;
    QListView* file1_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    QToolButton* command9_ = nullptr;
    QToolButton* cmdHtml_ = nullptr;
    QToolButton* cmdExpnd_ = nullptr;
    QIcon imgExpand_;
    QIcon imgContract_;
    ResultsList* lstResults_ = nullptr;
    BrowserPane* frmBrowser_ = nullptr;
    PaneSplitter* splPanes_ = nullptr;
    QProgressBar* progressBar1_ = nullptr;
    QList<StatusPanel*> panels_;
    // When a setting cannot be stored: said once in panel 2, and held in
    // panel 3 (the browser's "connecting" texts wait behind it) until a save
    // succeeds; kept until the panels exist when it happens during start-up.
    void ReportSettingsProblem(const QString& where);
    void SettingsSaved();
    QString settingsProblem_;
    bool settingsProblemReported_ = false;

    QMenu* mnuAction_ = nullptr;
    QAction* mnuFileExportCsv_ = nullptr;
    QAction* mnuFileExportJson_ = nullptr;
    QAction* mnuFileReport_ = nullptr;
    QAction* mnuFileExit_ = nullptr;
    QAction* mnuActionStart_ = nullptr;
    QAction* mnuActionStop_ = nullptr;
    QAction* mnuActionToggle_ = nullptr;
    QAction* mnuOptionsItem_ = nullptr;
    QAction* mnuHelpItem_ = nullptr;
    QAction* mnuAboutItem_ = nullptr;
};

}  // namespace tallowby
