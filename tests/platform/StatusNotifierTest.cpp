#include "StatusNotifier.h"
#include "Testing.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QMenu>

namespace {

// A host of our own: it counts registrations and drops items, as GNOME's
// AppIndicator extension does while it (re)starts.
class Watcher final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
public:
    QStringList registered;
    int newToolTips = 0;
public slots:
    void RegisterStatusNotifierItem(const QString &service) { registered << service; }
    void toolTipChanged() { ++newToolTips; }
signals:
    void StatusNotifierItemUnregistered(const QString &service);
};

TEST(StatusNotifier, RegistersAgainWhenDroppedAndAnswersWhatHostsAsk)
{
    HelperProcess bus({"bus"});
    ASSERT_TRUE(bus.ok());
    QDBusConnection host = QDBusConnection::connectToBus(bus["address"], "host");
    Watcher watcher;
    host.registerObject("/StatusNotifierWatcher", &watcher,
                        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
    ASSERT_TRUE(host.registerService("org.kde.StatusNotifierWatcher"));
    const QDBusConnection own = QDBusConnection::connectToBus(bus["address"], "item");
    {
        platform::StatusNotifier item(own);
        ASSERT_TRUE(waitUntil([&] { return watcher.registered.size() == 1; }));
        // Dropped by its service name, then by its connection and path.
        for (const QString &id : {watcher.registered[0], own.baseService() + "/StatusNotifierItem"}) {
            const auto before = watcher.registered.size();
            emit watcher.StatusNotifierItemUnregistered(id);
            EXPECT_TRUE(waitUntil([&] { return watcher.registered.size() > before; })) << id.toStdString();
        }
        emit watcher.StatusNotifierItemUnregistered("org.kde.StatusNotifierItem-1-1"); // another app's
        waitUntil([] { return false; }, 1500);
        EXPECT_EQ(watcher.registered.size(), 3);
        // What a host shows on hovering: the app's name over the text, read again when told.
        host.connect(watcher.registered[0], "/StatusNotifierItem", "org.kde.StatusNotifierItem", "NewToolTip", &watcher,
                     SLOT(toolTipChanged()));
        item.setToolTip("next update at 10:05");
        EXPECT_TRUE(waitUntil([&] { return watcher.newToolTips == 1; }));
        const auto ask = [&](const QString &path, const QString &interface, const QString &method,
                             const QVariantList &arguments) {
            QDBusMessage call = QDBusMessage::createMethodCall(watcher.registered[0], path, interface, method);
            call.setArguments(arguments);
            QDBusPendingCall pending = host.asyncCall(call); // the item answers from this thread
            EXPECT_TRUE(waitUntil([&] { return pending.isFinished(); }));
            const QVariantList reply = pending.reply().arguments();
            return reply.isEmpty() ? QVariant() : reply[0];
        };
        const QVariant tipReply = ask("/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                                      {"org.kde.StatusNotifierItem", "ToolTip"});
        const auto tip = qdbus_cast<platform::SniToolTip>(tipReply.value<QDBusVariant>().variant());
        EXPECT_EQ(std::make_pair(tip.title, tip.text),
                  std::make_pair(QString("ZandorUpdate"), QString("next update at 10:05")));
        // The menu's items below the root, to the depth asked: none at depth 0.
        QMenu menu;
        menu.addAction("Update Now");
        QAction *quit = menu.addAction("&Quit");
        quit->setEnabled(false);
        quit->setVisible(false);
        item.setMenu(&menu);
        EXPECT_EQ(item.layout(0, -1).children.size(), 2);
        EXPECT_TRUE(item.layout(0, 0).children.isEmpty());
        const auto property = [&](int id, const char *name) {
            return ask("/MenuBar", "com.canonical.dbusmenu", "GetProperty", {id, QString(name)})
                .value<QDBusVariant>()
                .variant();
        };
        EXPECT_EQ(std::make_tuple(property(2, "label"), property(2, "enabled"), property(2, "visible")),
                  std::make_tuple(QVariant("_Quit"), QVariant(false), QVariant(false)));
        EXPECT_FALSE(property(1, "enabled").isValid()); // at its default: an error, not a lost reply
        EXPECT_EQ(ask("/MenuBar", "com.canonical.dbusmenu", "AboutToShow", {1}), QVariant(false));
        for (const char *click : {"ContextMenu", "SecondaryActivate"}) { // a right and a middle click
            menu.hide();
            ask("/StatusNotifierItem", "org.kde.StatusNotifierItem", click, {10, 10});
            EXPECT_TRUE(menu.isVisible()) << click;
        }
        // Hosts' batches: the properties of many items, and clicks, the unknown ones returned.
        const auto group =
            qdbus_cast<platform::MenuItemPropertiesList>(ask("/MenuBar", "com.canonical.dbusmenu", "GetGroupProperties",
                                                             {QVariant::fromValue(QList<int>{1, 2}), QStringList()}));
        ASSERT_EQ(group.size(), 2);
        EXPECT_EQ(std::make_pair(group[1].id, group[1].properties.value("label")),
                  std::make_pair(2, QVariant("_Quit")));
        int updates = 0;
        QObject::connect(menu.actions()[0], &QAction::triggered, [&] { ++updates; });
        const platform::MenuEvents clicks{{99, "clicked", QDBusVariant(0), 7}, {1, "clicked", QDBusVariant(0), 7}};
        const QVariant unknown = ask("/MenuBar", "com.canonical.dbusmenu", "EventGroup", {QVariant::fromValue(clicks)});
        EXPECT_EQ(qdbus_cast<QList<int>>(unknown), QList<int>{99});
        EXPECT_TRUE(waitUntil([&] { return updates == 1; }));
    }
    EXPECT_FALSE(host.interface()->isServiceRegistered(watcher.registered[0]).value()); // hosts see the icon go
    QDBusConnection::disconnectFromBus("item");
    QDBusConnection::disconnectFromBus("host");
}

} // namespace

#include "StatusNotifierTest.moc"
