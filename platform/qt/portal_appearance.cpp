#include "platform/qt/portal_appearance.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include "platform/qt/launch_env.h"
#include "platform/qt/tray_appearance.h"
#include "platform/qt/x11_desktop.h"

namespace quillory::qt {

namespace {

const QString kAppearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString kColorSchemeKey = QStringLiteral("color-scheme");

}  // namespace

std::optional<std::uint32_t> colorSchemeFromVariant(const QVariant& value) {
    QVariant inner = value;
    for (int depth = 0; depth < 8 && inner.metaType() == QMetaType::fromType<QDBusVariant>(); ++depth) {
        inner = inner.value<QDBusVariant>().variant();
    }
    switch (inner.metaType().id()) {
        case QMetaType::UInt:
        case QMetaType::UShort:
        case QMetaType::UChar:
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::LongLong:
        case QMetaType::ULongLong: {
            bool ok = false;
            const qlonglong number = inner.toLongLong(&ok);
            if (ok && number >= 0 && number <= 0xffffffffLL) return static_cast<std::uint32_t>(number);
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

PortalAppearance::PortalAppearance(QDBusConnection bus, QString service) : bus_(std::move(bus)) {
    if (!bus_.isConnected()) return;
    bus_.connect(service, QString::fromLatin1(kPortalPath), QString::fromLatin1(kPortalSettings),
                 QStringLiteral("SettingChanged"), this,
                 SLOT(settingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read =
        QDBusMessage::createMethodCall(service, QString::fromLatin1(kPortalPath),
                                       QString::fromLatin1(kPortalSettings), QStringLiteral("Read"));
    read << kAppearanceGroup << kColorSchemeKey;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(read), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &PortalAppearance::readAnswered);
}

void PortalAppearance::readAnswered(QDBusPendingCallWatcher* watcher) {
    const QDBusMessage reply = watcher->reply();
    watcher->deleteLater();
    // No portal, or one without the setting: the desktop states no preference.
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
    store(colorSchemeFromVariant(reply.arguments().constFirst()));
}

void PortalAppearance::settingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
    if (group != kAppearanceGroup || key != kColorSchemeKey) return;
    store(colorSchemeFromVariant(value.variant()));
}

void PortalAppearance::store(std::optional<std::uint32_t> scheme) {
    if (scheme == colorScheme_) return;
    colorScheme_ = scheme;
    Q_EMIT changed();
}

std::optional<std::string> QtUserDefaults::stringForKey(std::string_view key) const {
    if (key != platform::kInterfaceStyleKey) return std::nullopt;
    return panelInterfaceStyle(override_, desktop::trayForegroundHint(),
                               portal_ != nullptr ? portal_->colorScheme() : std::nullopt);
}

}  // namespace quillory::qt
