#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QImage>
#include <QPoint>
#include <QStringList>

#include <functional>
#include <optional>

namespace quillory::qt {

// The icon as a StatusNotifierItem of our own, with its menu as a com.canonical.dbusmenu object,
// served on the session bus and registered with org.kde.StatusNotifierWatcher once it has a
// picture (again whenever a watcher appears). Qt's tray icon would drop the position that hosts pass with
// Activate, SecondaryActivate and ContextMenu; here each reaches the handlers, in Qt's screen coordinates
// (none for 0,0: a host that does not know). Every call to the watcher is asynchronous.
class StatusNotifier final : public QDBusVirtualObject {
    Q_OBJECT

public:
    struct Handlers {
        std::function<void(std::optional<QPoint>)> activate;
        std::function<void(std::optional<QPoint>)> contextMenu;
        std::function<void()> menuOpened;
        std::function<void(int entry)> menuChosen;
    };

    StatusNotifier(QDBusConnection bus, Handlers handlers);
    ~StatusNotifier() override;

    // Pictures of the glyph at the sizes hosts ask for, and the themed name they may prefer.
    void setIcon(const QString& themeName, const QList<QImage>& pictures);
    void setToolTip(const QString& text);
    void setMenu(const QStringList& titles);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private Q_SLOTS:
    // A host that dropped the item while it still runs gets it again, a few times at most:
    // GNOME's AppIndicator drops an item when setting it up fails.
    void unregistered(const QString& id);

private:
    void registerWithWatcher();
    bool handleItem(const QDBusMessage& message);
    bool handleMenu(const QDBusMessage& message);
    QVariantMap itemProperties() const;
    QVariantMap menuProperties() const;
    void emitSignal(const QString& path, const QString& interface, const QString& name,
                    const QVariantList& arguments = {});
    // Ends the startup notification a host began for this activation (its busy cursor).
    void activationHandled();

    QDBusConnection bus_;
    Handlers handlers_;
    QDBusServiceWatcher watcher_;
    QString iconName_;
    QList<QImage> pictures_;
    QString toolTip_;
    QStringList menu_;
    uint revision_ = 1;
    bool announced_ = false;
    int retries_ = 0;
    QString activationToken_;
};

}  // namespace quillory::qt
