#include "StatusNotifier.h"
#include "Testing.h"

namespace {

// The smallest tray host: it takes registrations and can drop an item.
class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
public:
    QStringList registered;
    void drop(QDBusConnection &host, const QString &item)
    {
        host.send(QDBusMessage::createSignal("/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
                                             "StatusNotifierItemUnregistered")
                  << item);
    }
public slots:
    void RegisterStatusNotifierItem(const QString &service) { registered << service; }
};

TEST(StatusNotifier, AnItemTheHostDropsWhileItLivesIsRegisteredAgain)
{
    HelperProcess bus({"bus"});
    ASSERT_TRUE(bus.ok());
    QDBusConnection host = QDBusConnection::connectToBus(bus["address"], "host");
    Watcher watcher;
    host.registerObject("/StatusNotifierWatcher", &watcher, QDBusConnection::ExportAllSlots);
    ASSERT_TRUE(host.registerService("org.kde.StatusNotifierWatcher"));
    {
        platform::StatusNotifier item(QDBusConnection::connectToBus(bus["address"], "item"));
        ASSERT_TRUE(waitUntil([&] { return watcher.registered.size() == 1; }));
        watcher.drop(host, "org.kde.StatusNotifierItem-1-1"); // somebody else's: nothing to do
        watcher.drop(host, watcher.registered[0]);
        EXPECT_TRUE(waitUntil([&] { return watcher.registered.size() == 2; }, 5000));
        waitUntil([] { return false; }, 1500);
        EXPECT_EQ(watcher.registered.size(), 2);
        EXPECT_TRUE(item.isRegistered());
    }
    QDBusConnection::disconnectFromBus("item");
    QDBusConnection::disconnectFromBus("host");
}

} // namespace

#include "StatusNotifierTest.moc"
