#include "ProductIdentity.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

namespace tallowby {

namespace {

// The resource the build generates from the CMake cache values.
const QString kBuiltInVersionInformation = QStringLiteral(":/tallowby/version.txt");

QString& OverriddenPath() {
    static QString path;
    return path;
}

}  // namespace

ProductIdentity& TheProductIdentity() {
    static ProductIdentity identity;
    return identity;
}

ProductIdentity ReadVersionInformation(const QString& path) {
    ProductIdentity identity;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return identity;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString& rawLine : lines) {
        const QString line = rawLine.endsWith(QLatin1Char('\r')) ? rawLine.chopped(1) : rawLine;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            continue;
        }
        const QString key = line.left(equals);
        const QString value = line.mid(equals + 1);
        if (key == QLatin1String("ProductName")) {
            identity.productName = value;
        } else if (key == QLatin1String("CompanyName")) {
            identity.companyName = value;
        } else if (key == QLatin1String("Comments")) {
            identity.website = value;
        } else if (key == QLatin1String("FileVersion")) {
            const QStringList parts = value.split(QLatin1Char('.'));
            identity.versionMajor = parts.value(0).toInt();
            identity.versionMinor = parts.value(1).toInt();
        }
    }
    return identity;
}

void InitProductIdentity() {
    TheProductIdentity() = ReadVersionInformation(VersionInformationPath());
    if (!TheProductIdentity().productName.isEmpty()) {
        QCoreApplication::setApplicationName(TheProductIdentity().productName);
    }
}

QString VersionInformationPath() {
    return OverriddenPath().isEmpty() ? kBuiltInVersionInformation : OverriddenPath();
}

void SetVersionInformationPath(const QString& path) {
    OverriddenPath() = path;
}

}  // namespace tallowby
