#pragma once

namespace tallowby {

class MessageBoxes;
class Shell;
class SettingsBackend;

// The platform services a window may use, handed to it by whoever creates
// it. Tests fill it with recording fakes.
struct PlatformServices {
    MessageBoxes& messageBoxes;
    Shell& shell;
    SettingsBackend& settings;
};

// The real services, one set for the whole run. Message boxes take their
// default title from QCoreApplication::applicationName(), which
// InitProductIdentity sets to the product name.
PlatformServices RealPlatformServices();

}  // namespace tallowby
