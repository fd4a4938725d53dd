#include "SettingsBackend.h"

#include <QFileInfo>
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

// The folder QSettings keeps user INI files in, learnt from a store of a
// name nobody uses: asking the application's own store would read its file,
// and a FIFO there would never answer.
QString UserIniFolder() {
    static const QString kUnused = QStringLiteral(".tallowby-unused-store");
    const QString probe =
        QSettings(QSettings::IniFormat, QSettings::UserScope, kUnused, kUnused).fileName();
    return QFileInfo(QFileInfo(probe).absolutePath()).absolutePath();
}

// The files QSettings reads for the application (its own and the
// organisation-wide one; both have the application's name here). False
// when one of them is there but is not a regular file (a FIFO, a device, a
// folder): such a store is treated as missing, never opened.
bool StoreFilesUsable(const QString& application) {
    const QString folder = UserIniFolder();
    for (const QString& path : {folder + QLatin1Char('/') + application + QLatin1Char('/') +
                                    application + QStringLiteral(".ini"),
                                folder + QLatin1Char('/') + application + QStringLiteral(".ini")}) {
        const QFileInfo info(path);
        if (info.exists() && !info.isFile()) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<QString> QtSettingsBackend::Read(const QString& application, const QString& section,
                                               const QString& key) {
    if (!StoreFilesUsable(application)) {
        return std::nullopt;
    }
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
    if (!StoreFilesUsable(application)) {
        return false;
    }
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, application, application);
    settings.setValue(Key(section, key), value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString QtSettingsBackend::Where(const QString& application) {
    return UserIniFolder() + QLatin1Char('/') + application + QLatin1Char('/') + application +
           QStringLiteral(".ini");
}

}  // namespace tallowby
