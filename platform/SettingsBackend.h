#pragma once

#include <QString>

#include <optional>

namespace tallowby {

// The per-user store of texts addressed by application, section and key.
// The values outlive the program; nothing is cached between calls, so every
// read sees the latest write.
class SettingsBackend {
public:
    virtual ~SettingsBackend() = default;

    // The stored text, or nullopt when nothing is stored at that address.
    // A stored empty text is returned as an empty (not missing) value.
    virtual std::optional<QString> Read(const QString& application, const QString& section,
                                        const QString& key) = 0;

    // Stores `value`, creating the application's and section's entries when
    // needed and replacing any earlier value. Returns false when the value
    // could not be stored (then Where() says where it should have gone).
    virtual bool Write(const QString& application, const QString& section, const QString& key,
                       const QString& value) = 0;

    // Where the application's values are kept, for messages; may be empty.
    virtual QString Where(const QString& application) {
        (void)application;
        return {};
    }
};

// One INI file per application: $XDG_CONFIG_HOME/<application>/<application>.ini
// (~/.config when XDG_CONFIG_HOME is unset), one INI group per section. A
// settings file that is there but is not a regular file (a FIFO, a device)
// is never opened: reads find nothing and writes fail.
class QtSettingsBackend : public SettingsBackend {
public:
    std::optional<QString> Read(const QString& application, const QString& section,
                                const QString& key) override;
    bool Write(const QString& application, const QString& section, const QString& key,
               const QString& value) override;
    QString Where(const QString& application) override;
};

}  // namespace tallowby
