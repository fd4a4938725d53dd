#pragma once

#include <QString>

namespace tallowby {

// Who the program is, as its version information says. The build writes
// that information (from the CMake cache values TALLOWBY_PRODUCT_NAME,
// TALLOWBY_COMPANY_NAME, TALLOWBY_WEBSITE and the project version) into a
// resource of the program; it is read from there at run time.
struct ProductIdentity {
    QString productName;  // display name; also the settings store's application name
    QString companyName;  // owner
    QString website;      // normally a bare host name
    int versionMajor = 0;
    int versionMinor = 0;
};

// The one instance for the run, filled by InitProductIdentity.
ProductIdentity& TheProductIdentity();

// Reads the version information into TheProductIdentity() and makes the
// product name the application name (the message boxes' default title).
// Never fails: missing texts give empty fields, missing numbers give 0.
// Running it again reads the same values.
void InitProductIdentity();

// Reads version information from `path` without touching the shared
// instance. Lines "Key=Value" with the keys ProductName, CompanyName,
// Comments (the website) and FileVersion ("2.1.0.0").
ProductIdentity ReadVersionInformation(const QString& path);

// Where InitProductIdentity reads: the program's own resource unless a
// test has pointed it elsewhere with SetVersionInformationPath.
QString VersionInformationPath();
void SetVersionInformationPath(const QString& path);

}  // namespace tallowby
