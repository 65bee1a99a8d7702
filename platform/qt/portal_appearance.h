#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/user_defaults.h"

class QDBusPendingCallWatcher;
class QDBusVariant;

namespace quillory::qt {

inline constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
inline constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
inline constexpr const char* kPortalSettings = "org.freedesktop.portal.Settings";

// The color-scheme number inside a portal answer, however deeply it is wrapped: Read answers a
// variant holding a variant holding the uint32; SettingChanged hands one variant. None for
// anything that is not a non-negative number.
std::optional<std::uint32_t> colorSchemeFromVariant(const QVariant& value);

// The desktop's light or dark preference from the desktop portal (org.freedesktop.appearance
// color-scheme: 0 no preference, 1 prefer dark, 2 prefer light), read once and followed live.
class PortalAppearance final : public QObject {
    Q_OBJECT
public:
    // `service` empty: a peer-to-peer connection, where no bus name routes the messages.
    explicit PortalAppearance(QDBusConnection bus, QString service = QString::fromLatin1(kPortalService));

    // None until the portal answered, or when there is no portal.
    std::optional<std::uint32_t> colorScheme() const { return colorScheme_; }

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void readAnswered(QDBusPendingCallWatcher* watcher);
    void store(std::optional<std::uint32_t> scheme);

    QDBusConnection bus_;
    std::optional<std::uint32_t> colorScheme_;
};

// "AppleInterfaceStyle" on the Linux desktop: "Dark" as the override (QUILLORY_APPEARANCE) or,
// without one, the portal says; every other key is absent.
class QtUserDefaults final : public platform::UserDefaults {
public:
    QtUserDefaults(std::optional<std::string> appearanceOverride, const PortalAppearance* portal)
        : override_(std::move(appearanceOverride)), portal_(portal) {}

    std::optional<std::string> stringForKey(std::string_view key) const override;

private:
    std::optional<std::string> override_;
    const PortalAppearance* portal_;
};

}  // namespace quillory::qt
