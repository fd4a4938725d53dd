#include "PlatformServices.h"

#include <QCoreApplication>

#include "MessageBoxes.h"
#include "SettingsBackend.h"
#include "Shell.h"

namespace tallowby {

PlatformServices RealPlatformServices() {
    static QtMessageBoxes messageBoxes([] { return QCoreApplication::applicationName(); });
    static QtShell shell;
    static QtSettingsBackend settings;
    return PlatformServices{messageBoxes, shell, settings};
}

}  // namespace tallowby
