#pragma once

#include <QString>

#include <functional>

#include "engine/scan/ScanOptionNames.h"

namespace tallowby {

class SettingsBackend;

// Sections and keys of the settings store. Letter case matters.
inline const QString kSectionData = QStringLiteral("data");
inline const QString kSectionSettings = QStringLiteral("Settings");
// The scan options' keys come from their table (engine/scan/ScanOptionNames.h).
inline QString SettingsKey(const ScanOptionName& option) {
    return QString::fromLatin1(option.settingsKey.data(), qsizetype(option.settingsKey.size()));
}
inline const QString kKeyYourWebsite = SettingsKey(kOwnDomainOption);
inline const QString kKeyGetFileTypes = SettingsKey(kTypeCodesOption);
inline const QString kKeyRemoveDupes = SettingsKey(kRemoveDupesOption);
inline const QString kKeyDisplayStats = QStringLiteral("bDisplayStats");
inline const QString kKeyHttpsReferrers = SettingsKey(kHttpsOption);
inline const QString kKeyQuotedReferrers = SettingsKey(kQuotedOption);
inline const QString kKeyHideSpam = SettingsKey(kHideSpamOption);
// Set by hand in the settings file; empty means the built-in list.
inline const QString kKeySpamList = SettingsKey(kSpamListOption);
inline const QString kKeyReferrerField = SettingsKey(kFieldsOption);
inline const QString kKeyNoCrawlers = SettingsKey(kNoCrawlersOption);
// Set by hand in the settings file; empty means the built-in list.
inline const QString kKeyCrawlerList = SettingsKey(kCrawlerListOption);
// A folder holding the lists of sources; empty: the built-in lists.
inline const QString kKeySourceLists = SettingsKey(kSourceListsOption);
inline const QString kKeyPath = QStringLiteral("path");          // in kSectionData
inline const QString kKeyShowHelp = QStringLiteral("showHelp");  // in kSectionSettings
// The width the splitter gave the main window's left frames, in twips (a
// whole number; none stored: the window's default).
inline const QString kKeyPaneWidth = QStringLiteral("iPaneWidth");  // in kSectionSettings

// The program's view of the per-user settings store. Every call names the
// application; the program always passes its product name.
class SettingsStore {
public:
    explicit SettingsStore(SettingsBackend& backend) : backend_(backend) {}

    // The stored text, or `defaultValue` when nothing is stored at that
    // address. A stored empty text is returned as empty.
    QString GetSetting(const QString& application, const QString& section, const QString& key,
                       const QString& defaultValue) const;

    // Stores `value`, replacing any earlier one. Returns false when it could
    // not be stored; the save-failure handler, if any, is then told where the
    // values should have gone. After a save that succeeds the saved handler,
    // if any, is called.
    bool SaveSetting(const QString& application, const QString& section, const QString& key,
                     const QString& value);

    void setOnSaveFailed(std::function<void(const QString& where)> handler) {
        onSaveFailed_ = std::move(handler);
    }
    void setOnSaved(std::function<void()> handler) { onSaved_ = std::move(handler); }

private:
    SettingsBackend& backend_;
    std::function<void(const QString&)> onSaveFailed_;
    std::function<void()> onSaved_;
};

}  // namespace tallowby
