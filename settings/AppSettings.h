#pragma once

#include <QString>

#include <optional>

namespace tallowby {

class SettingsStore;

// The domain shown until the user has saved their own. It is reserved for
// examples, so no real referrer ever contains it.
inline const QString strPlaceholderDomain = QStringLiteral("your-domain.example");

// The scan options held in memory for the run. Empty and false until the
// first LoadSettings.
struct AppSettings {
    QString strYourWebsite;
    bool bGetFileTypes = false;
    bool bRemoveDupes = false;
    bool bDisplayStats = false;
    // The widened referrer rules for today's logs (engine ReferrerRules).
    bool bHttpsReferrers = false;
    bool bQuotedReferrers = false;
    // Leave referrers of known spam hosts out of the scan; the list is the
    // built-in one, or the file strSpamList names when that is not empty.
    bool bHideSpam = false;
    QString strSpamList = QString();
    // Read the referrer field of known log layouts instead of the written
    // rules (engine FieldRules); with it, leave crawlers' lines out. The
    // crawler list is the built-in one, or the file strCrawlerList names.
    bool bReferrerField = false;
    bool bNoCrawlers = false;
    QString strCrawlerList = QString();
    // The folder the sources and search keywords views read the lists of
    // sources from; empty: the built-in lists.
    QString strSourceLists = QString();
};

// Fills `settings` from `store` under application name `application`, read
// afresh in this order: bRemoveDupes, bDisplayStats, bGetFileTypes (each
// default "1"), strYourWebsite (default strPlaceholderDomain, kept unchanged),
// then bHttpsReferrers, bQuotedReferrers and bHideSpam (each default "0"),
// strSpamList (default empty), bReferrerField and bNoCrawlers (each default
// "0"), strCrawlerList and strSourceLists (each default empty).
void LoadSettings(const SettingsStore& store, const QString& application, AppSettings& settings);

// Text to boolean as the store's option values are read: a number is false
// when zero and true otherwise ("2", "-1", " 1 "); the words true and false
// in any letter case; nullopt for anything else (empty text included).
// Callers fall back to the key's default on nullopt.
std::optional<bool> SettingTextToBool(const QString& text);

// A check box state read from the store as a whole number (as the Help
// window does): 0, 1 or 2 for "0", "01", " 2" and the like; nullopt for
// anything else, which leaves the box as it is.
std::optional<int> SettingTextToCheckState(const QString& text);

}  // namespace tallowby
