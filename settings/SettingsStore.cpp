#include "SettingsStore.h"

#include "platform/SettingsBackend.h"

namespace tallowby {

QString SettingsStore::GetSetting(const QString& application, const QString& section,
                                  const QString& key, const QString& defaultValue) const {
    return backend_.Read(application, section, key).value_or(defaultValue);
}

void SettingsStore::SaveSetting(const QString& application, const QString& section,
                                const QString& key, const QString& value) {
    backend_.Write(application, section, key, value);
}

}  // namespace tallowby
