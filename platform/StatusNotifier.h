#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QIcon>
#include <QPointer>
#include <QVariantMap>
#include <functional>
#include <optional>

class QMenu;
class QAction;

namespace platform {

// The wire types of the StatusNotifierItem and dbusmenu protocols.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb; // 32-bit ARGB in network byte order
};
using SniPixmaps = QList<SniPixmap>;
struct SniToolTip {
    QString iconName;
    SniPixmaps icon;
    QString title;
    QString text;
};
QDBusArgument &operator<<(QDBusArgument &out, const SniToolTip &tip);
const QDBusArgument &operator>>(const QDBusArgument &in, SniToolTip &tip);
struct MenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QVariantList children; // each a QDBusVariant holding a MenuLayoutItem
};
struct MenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
using MenuItemPropertiesList = QList<MenuItemProperties>;
struct MenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using MenuEvents = QList<MenuEvent>;
QDBusArgument &operator<<(QDBusArgument &out, const MenuItemProperties &item);
const QDBusArgument &operator>>(const QDBusArgument &in, MenuItemProperties &item);
QDBusArgument &operator<<(QDBusArgument &out, const MenuEvent &event);
const QDBusArgument &operator>>(const QDBusArgument &in, MenuEvent &event);

// Our tray icon as an org.kde.StatusNotifierItem, with its menu exported as
// com.canonical.dbusmenu, so the host draws both (a proper popup on every
// desktop, Wayland too). It registers with the StatusNotifierWatcher
// whenever one appears on the session bus, at start or later (a panel that
// comes up after us at login, or restarts).
class StatusNotifier final : public QObject {
    Q_OBJECT
public:
    explicit StatusNotifier(QDBusConnection bus);
    ~StatusNotifier() override;

    void setIcon(const QIcon &icon);
    void setToolTip(const QString &text);
    void setMenu(QMenu *menu);
    // Whether a host took the item.
    bool isRegistered() const { return registered_; }

    // For the adaptors.
    SniPixmaps pixmaps() const;
    SniToolTip toolTip() const;
    MenuLayoutItem layout(int parentId, int depth) const;
    QVariantMap properties(QAction *action) const;
    QAction *action(int id) const;
    uint revision() const { return revision_; }
    void menuEvent(int id, const QString &eventId);
    // Answers a call with an error instead of its reply.
    void refuse(const QDBusMessage &call, QDBusError::ErrorType type, const QString &why) const;
    // Shows the menu at a point of the screen (where the host says it was
    // clicked, or else at the pointer); false where the platform places no
    // popup of ours (Wayland), so the host shows it.
    bool popUpMenu(int x, int y);

signals:
    // After each attempt to register, and when the watcher goes away.
    void registrationChanged(bool registered);

private slots:
    void itemUnregistered(const QString &id);

private:
    void registerWithWatcher();
    void lostRegistration();
    void layoutChanged();
    int idOf(QAction *action) const;

    QDBusConnection bus_;
    QString service_;
    QPointer<QMenu> menu_;
    QIcon icon_;
    mutable std::optional<SniPixmaps> pixmaps_; // drawn when a host first asks
    QString toolTipText_;
    uint revision_ = 1;
    bool registered_ = false;
    int reRegistrations_ = 0; // since the watcher last came
};

class SniAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(platform::SniPixmaps IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ iconName)
    Q_PROPERTY(platform::SniPixmaps OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ iconName)
    Q_PROPERTY(platform::SniPixmaps AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(platform::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
public:
    explicit SniAdaptor(StatusNotifier *item) : QDBusAbstractAdaptor(item), item_(item) {}
    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("zandorupdate"); }
    QString title() const { return QStringLiteral("ZandorUpdate"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconName() const { return {}; }
    SniPixmaps iconPixmap() const { return item_->pixmaps(); }
    SniPixmaps noPixmaps() const { return {}; }
    SniToolTip toolTip() const { return item_->toolTip(); }
    // The menu is the item: every click shows it, drawn by the host.
    bool itemIsMenu() const { return true; }
    QDBusObjectPath menu() const { return QDBusObjectPath(QStringLiteral("/MenuBar")); }

public slots:
    // Every click shows the menu: a host that calls Activate (LXQt, MATE,
    // Cinnamon) gets it at the pointer; where we cannot place it, the call
    // fails and the host shows it, as for libappindicator's items.
    void Activate(int x, int y, const QDBusMessage &call)
    {
        if (!item_->popUpMenu(x, y))
            item_->refuse(call, QDBusError::NotSupported, QStringLiteral("The item is its menu"));
    }
    void SecondaryActivate(int x, int y) { item_->popUpMenu(x, y); }
    void ContextMenu(int x, int y) { item_->popUpMenu(x, y); }
    void Scroll(int, const QString &) {}

signals:
    void NewIcon();
    void NewToolTip();
    void NewStatus(const QString &status);
    void NewTitle();

private:
    StatusNotifier *item_;
};

class MenuAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
public:
    explicit MenuAdaptor(StatusNotifier *item) : QDBusAbstractAdaptor(item), item_(item) {}
    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                   platform::MenuLayoutItem &layout);
    platform::MenuItemPropertiesList GetGroupProperties(const QList<int> &ids, const QStringList &propertyNames);
    QDBusVariant GetProperty(int id, const QString &name, const QDBusMessage &call);
    void Event(int id, const QString &eventId, const QDBusVariant &data, uint timestamp);
    QList<int> EventGroup(const platform::MenuEvents &events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors);

signals:
    void LayoutUpdated(uint revision, int parent);

private:
    StatusNotifier *item_;
};

} // namespace platform

Q_DECLARE_METATYPE(platform::SniPixmap)
Q_DECLARE_METATYPE(platform::SniToolTip)
Q_DECLARE_METATYPE(platform::MenuLayoutItem)
Q_DECLARE_METATYPE(platform::MenuItemProperties)
Q_DECLARE_METATYPE(platform::MenuEvent)
