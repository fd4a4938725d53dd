#include "SettingsBackend.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace tallowby {

namespace {

// QSettings is made afresh on every call: nothing is cached by this program,
// so what one window writes is what the next read anywhere sees.
QString Key(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}

}  // namespace

std::optional<QString> QtSettingsBackend::Read(const QString& application, const QString& section,
                                               const QString& key) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, application, application);
    const QVariant value = settings.value(Key(section, key));
    if (!value.isValid()) {
        return std::nullopt;
    }
    // A value edited by hand with unquoted commas reads back as a list; the
    // store holds texts, so give the text as it stands in the file.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QLatin1Char(','));
    }
    return value.toString();
}

bool QtSettingsBackend::Write(const QString& application, const QString& section,
                              const QString& key, const QString& value) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, application, application);
    settings.setValue(Key(section, key), value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString QtSettingsBackend::Where(const QString& application) {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, application, application)
        .fileName();
}

}  // namespace tallowby
