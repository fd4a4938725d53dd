#include "AppSettings.h"

#include <cmath>

#include "SettingsStore.h"

namespace tallowby {

namespace {

const QString kOn = QStringLiteral("1");
const QString kOff = QStringLiteral("0");

bool ReadOption(const SettingsStore& store, const QString& application, const QString& key,
                bool defaultOn = true) {
    const QString text = store.GetSetting(application, kSectionData, key, defaultOn ? kOn : kOff);
    // Only the program writes these keys, always "1" or "0"; a text typed in
    // by hand that is no boolean falls back to the key's default.
    return SettingTextToBool(text).value_or(defaultOn);
}

}  // namespace

void LoadSettings(const SettingsStore& store, const QString& application, AppSettings& settings) {
    settings.bRemoveDupes = ReadOption(store, application, kKeyRemoveDupes);
    settings.bDisplayStats = ReadOption(store, application, kKeyDisplayStats);
    settings.bGetFileTypes = ReadOption(store, application, kKeyGetFileTypes);
    settings.strYourWebsite =
        store.GetSetting(application, kSectionData, kKeyYourWebsite, strPlaceholderDomain);
    settings.bHttpsReferrers = ReadOption(store, application, kKeyHttpsReferrers, false);
    settings.bQuotedReferrers = ReadOption(store, application, kKeyQuotedReferrers, false);
    settings.bHideSpam = ReadOption(store, application, kKeyHideSpam, false);
    settings.strSpamList = store.GetSetting(application, kSectionData, kKeySpamList, QString());
    settings.bReferrerField = ReadOption(store, application, kKeyReferrerField, false);
    settings.bNoCrawlers = ReadOption(store, application, kKeyNoCrawlers, false);
    settings.strCrawlerList =
        store.GetSetting(application, kSectionData, kKeyCrawlerList, QString());
    settings.strSourceLists =
        store.GetSetting(application, kSectionData, kKeySourceLists, QString());
}

std::optional<bool> SettingTextToBool(const QString& text) {
    const QString trimmed = text.trimmed();
    bool isNumber = false;
    const double number = trimmed.toDouble(&isNumber);
    if (isNumber && std::isfinite(number)) {
        return number != 0.0;
    }
    if (trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        return false;
    }
    return std::nullopt;
}

std::optional<int> SettingTextToCheckState(const QString& text) {
    const QString trimmed = text.trimmed();
    bool isNumber = false;
    const double number = trimmed.toDouble(&isNumber);
    if (!isNumber || !std::isfinite(number)) {
        return std::nullopt;
    }
    // Whole-number conversion rounds ("1.4" is 1); only the three states of
    // a check box are usable.
    const double rounded = std::nearbyint(number);
    if (rounded < 0.0 || rounded > 2.0) {
        return std::nullopt;
    }
    return static_cast<int>(rounded);
}

}  // namespace tallowby
