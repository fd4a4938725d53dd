#pragma once

#include <QString>
#include <QWidget>

#include <utility>

#include "platform/WindowSlot.h"

class QCheckBox;
class QTextEdit;

namespace tallowby {

class SettingsStore;

// Where the read-me of a program in `programFolder` lies: "Help.rtf" beside
// the program (the build tree) or, where there is none, in the installed
// data folder (/usr/share/tallowby for /usr/bin: the system keeps only
// programs in /usr/bin). The path beside the program when neither exists.
QString HelpFilePathFor(const QString& programFolder);

// HelpFilePathFor() this program's own folder.
QString HelpFilePath();

// The Readme/Help window. Its load step (the constructor) fills the text
// from `helpFilePath`, puts the window on top and sets "Show at Startup"
// from the store, but only when the file exists; otherwise the window stays
// empty and ordinary. Every change of the box is saved at once as "1" or
// "0" under section "Settings", key "showHelp".
class Form8 : public QWidget {
    Q_OBJECT
public:
    Form8(SettingsStore& store, QString application, const QString& helpFilePath,
          QWidget* parent = nullptr);

    QTextEdit* rtf1() const { return rtf1_; }
    QCheckBox* Check1() const { return check1_; }

private slots:
    void Check1_Click();

private:
    SettingsStore& store_;
    QString application_;
    QTextEdit* rtf1_ = nullptr;
    QCheckBox* check1_ = nullptr;
};

// The main window's open and unload operations for the Help window.
class HelpWindowOpener {
public:
    HelpWindowOpener(SettingsStore& store, QString application,
                     QString helpFilePath = HelpFilePath())
        : store_(store),
          application_(std::move(application)),
          helpFilePath_(std::move(helpFilePath)) {}

    // Loads the window when none is open, then shows it modeless and brings
    // it forward. Used by "View Help" and by start-up.
    Form8* Open();

    // Closes the window; nothing happens when none is open.
    void Unload() { slot_.Unload(); }

    Form8* window() const { return slot_.window(); }
    bool isLoaded() const { return slot_.isLoaded(); }

private:
    SettingsStore& store_;
    QString application_;
    QString helpFilePath_;
    WindowSlot<Form8> slot_;
};

// True when the start-up sequence should open the Help window: the stored
// "showHelp" (default "1") is exactly "1".
bool ShouldShowHelpAtStartup(const SettingsStore& store, const QString& application);

}  // namespace tallowby
