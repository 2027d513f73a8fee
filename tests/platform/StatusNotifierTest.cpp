#include "StatusNotifier.h"
#include "Testing.h"

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
public slots:
    void RegisterStatusNotifierItem(const QString &service) { registered << service; }
signals:
    void StatusNotifierItemUnregistered(const QString &service);
};

TEST(StatusNotifier, AnItemTheHostDropsRegistersAgainAndTellsItsName)
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
        // What a host shows on hovering: the app's name over the text.
        item.setToolTip("next update at 10:05");
        QDBusMessage get = QDBusMessage::createMethodCall(watcher.registered[0], "/StatusNotifierItem",
                                                          "org.freedesktop.DBus.Properties", "Get");
        get << "org.kde.StatusNotifierItem"
            << "ToolTip";
        QDBusPendingCall pending = host.asyncCall(get); // the item answers from this thread
        ASSERT_TRUE(waitUntil([&] { return pending.isFinished(); }));
        const QDBusMessage reply = pending.reply();
        ASSERT_EQ(reply.arguments().size(), 1);
        const auto tip = qdbus_cast<platform::SniToolTip>(reply.arguments()[0].value<QDBusVariant>().variant());
        EXPECT_EQ(std::make_pair(tip.title, tip.text),
                  std::make_pair(QString("ZandorUpdate"), QString("next update at 10:05")));
        // The menu's items below the root, to the depth asked: none at depth 0.
        QMenu menu;
        menu.addAction("Update Now");
        item.setMenu(&menu);
        EXPECT_EQ(item.layout(0, -1).children.size(), 1);
        EXPECT_TRUE(item.layout(0, 0).children.isEmpty());
    }
    QDBusConnection::disconnectFromBus("item");
    QDBusConnection::disconnectFromBus("host");
}

} // namespace

#include "StatusNotifierTest.moc"
