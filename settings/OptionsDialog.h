#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <utility>

#include "AppSettings.h"
#include "platform/WindowSlot.h"

class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tallowby {

class SettingsStore;

// The Options dialog: the user's own domain, the three scan options and, in
// a group of their own, the two referrer rules for today's logs, the
// referrer-spam filter and the reading of the referrer field of known log
// formats, with its choice to leave out crawlers (offered only while the
// field is read).
// Its load step (the constructor) shows what `appSettings` holds now; "Ok"
// saves every value under `application`, reloads `appSettings` from the
// store, emits settingsSaved and closes. When a value could not be stored,
// `appSettings` takes the dialog's values all the same, for the rest of the
// run. The close box saves nothing.
class Form2 : public QWidget {
    Q_OBJECT
public:
    Form2(SettingsStore& store, QString application, AppSettings& appSettings,
          QWidget* parent = nullptr);

    QLineEdit* Text1() const { return text1_; }
    QCheckBox* Check1() const { return check1_; }        // Display Common Filetypes
    QCheckBox* Check2() const { return check2_; }        // Remove Duplicates
    QCheckBox* Check3() const { return check3_; }        // Display statistics
    QCheckBox* Check4() const { return check4_; }        // Also find https:// referrers
    QCheckBox* Check5() const { return check5_; }        // End quoted referrers at the quote
    QCheckBox* Check6() const { return check6_; }        // Hide known referrer spam
    QCheckBox* Check7() const { return check7_; }        // Read the referrer field of ...
    QCheckBox* Check8() const { return check8_; }        // Leave out crawlers
    QPushButton* Command1() const { return command1_; }  // Ok

signals:
    // After "Ok" has saved and `appSettings` holds the new values.
    void settingsSaved();

protected:
    // Enter presses "Ok" wherever the focus is; Escape closes the dialog as
    // its close box does, saving nothing.
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void Command1_Click();

private:
    void BuildControls();

    SettingsStore& store_;
    QString application_;
    AppSettings& appSettings_;
    QLineEdit* text1_ = nullptr;
    QCheckBox* check1_ = nullptr;
    QCheckBox* check2_ = nullptr;
    QCheckBox* check3_ = nullptr;
    QCheckBox* check4_ = nullptr;
    QCheckBox* check5_ = nullptr;
    QCheckBox* check6_ = nullptr;
    QCheckBox* check7_ = nullptr;
    QCheckBox* check8_ = nullptr;
    QPushButton* command1_ = nullptr;
};

// The main window's open and unload operations for the Options dialog.
class OptionsDialogOpener {
public:
    OptionsDialogOpener(SettingsStore& store, QString application, AppSettings& appSettings)
        : store_(store), application_(std::move(application)), appSettings_(appSettings) {}

    // Creates and loads the dialog when none is open, shows it modeless, on
    // top of other windows; an open dialog is only brought forward and keeps
    // whatever the user has typed.
    Form2* Open();

    // Closes the dialog without saving; nothing happens when none is open.
    void Unload() { slot_.Unload(); }

    Form2* window() const { return slot_.window(); }
    bool isLoaded() const { return slot_.isLoaded(); }

    // Called after every "Ok", once the settings have been reloaded.
    void setOnSaved(std::function<void()> onSaved) { onSaved_ = std::move(onSaved); }

private:
    SettingsStore& store_;
    QString application_;
    AppSettings& appSettings_;
    std::function<void()> onSaved_;
    WindowSlot<Form2> slot_;
};

}  // namespace tallowby
