#include "SettingsStore.h"

#include "platform/SettingsBackend.h"

namespace tallowby {

QString SettingsStore::GetSetting(const QString& application, const QString& section,
                                  const QString& key, const QString& defaultValue) const {
    return backend_.Read(application, section, key).value_or(defaultValue);
}

bool SettingsStore::SaveSetting(const QString& application, const QString& section,
                                const QString& key, const QString& value) {
    if (backend_.Write(application, section, key, value)) {
        if (onSaved_) {
            onSaved_();
        }
        return true;
    }
    if (onSaveFailed_) {
        onSaveFailed_(backend_.Where(application));
    }
    return false;
}

}  // namespace tallowby
