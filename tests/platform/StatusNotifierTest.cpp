#include "StatusNotifier.h"
#include "Testing.h"

#include <QCursor>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QMenu>
#include <QPainter>
#include <QScreen>

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
        // Dropped by its service name or by its connection and path: back five times...
        const auto drop = [&](const QString &id, int wait = 5000) {
            const auto before = watcher.registered.size();
            emit watcher.StatusNotifierItemUnregistered(id);
            return waitUntil([&] { return watcher.registered.size() > before; }, wait);
        };
        for (int i = 0; i < 5; ++i)
            EXPECT_TRUE(drop(i % 2 ? own.baseService() + "/StatusNotifierItem" : watcher.registered[0])) << i;
        EXPECT_FALSE(drop("org.kde.StatusNotifierItem-1-1", 1500)); // another app's
        EXPECT_FALSE(drop(watcher.registered[0], 1500));            // ...not six
        // ...until the host comes back, which counts afresh.
        host.unregisterService("org.kde.StatusNotifierWatcher");
        ASSERT_TRUE(host.registerService("org.kde.StatusNotifierWatcher"));
        EXPECT_TRUE(waitUntil([&] { return watcher.registered.size() == 7; }));
        EXPECT_TRUE(drop(watcher.registered[0]));
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
        EXPECT_EQ(std::make_tuple(tip.iconName, tip.title, tip.text),
                  std::make_tuple(QString(), QString("ZandorUpdate"), QString("next update at 10:05")));
        // Hosts draw a named icon over the pixmaps: none is named, here or in the tooltip.
        for (const char *name : {"IconName", "OverlayIconName", "AttentionIconName"})
            EXPECT_EQ(ask("/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                          {"org.kde.StatusNotifierItem", QString(name)})
                          .value<QDBusVariant>()
                          .variant(),
                      QVariant(QString()))
                << name;
        // The icon at each size panels draw, as ARGB32 in network byte order.
        QPixmap red(64, 64);
        red.fill(QColor(255, 0, 0, 128));
        item.setIcon(QIcon(red));
        QList<int> sizes;
        for (const platform::SniPixmap &pixmap : item.pixmaps())
            sizes << pixmap.width;
        EXPECT_EQ(sizes, (QList<int>{16, 22, 24, 32, 48, 64}));
        EXPECT_TRUE(item.pixmaps().value(0).argb.startsWith(QByteArray("\x80\xff\0\0", 4))); // not premultiplied
        // The menu's items below the root, to the depth asked: none at depth 0.
        QMenu menu;
        menu.addAction("News && Weather_1"); // Qt's "&&" is one "&", dbusmenu's "__" one "_"
        menu.addSeparator();
        QAction *quit = menu.addAction("&Quit");
        quit->setEnabled(false);
        quit->setVisible(false);
        item.setMenu(&menu);
        EXPECT_EQ(item.layout(0, -1).children.size(), 3);
        EXPECT_TRUE(item.layout(0, 0).children.isEmpty());
        const auto property = [&](int id, const char *name) {
            return ask("/MenuBar", "com.canonical.dbusmenu", "GetProperty", {id, QString(name)})
                .value<QDBusVariant>()
                .variant();
        };
        EXPECT_EQ(std::make_tuple(property(3, "label"), property(3, "enabled"), property(3, "visible")),
                  std::make_tuple(QVariant("_Quit"), QVariant(false), QVariant(false)));
        EXPECT_EQ(property(2, "type"), QVariant("separator"));
        EXPECT_EQ(property(0, "children-display"), QVariant("submenu")); // else some hosts open no menu
        EXPECT_EQ(property(3, "enabled").typeId(), QMetaType::Bool);     // not "false", which hosts read as true
        const uint revision = item.revision();
        quit->setVisible(true);
        EXPECT_GT(item.revision(), revision) << "hosts are told the menu changed";
        EXPECT_FALSE(property(1, "enabled").isValid()); // at its default: an error, not a lost reply
        EXPECT_EQ(ask("/MenuBar", "com.canonical.dbusmenu", "AboutToShow", {1}), QVariant(false));
        for (const char *click : {"ContextMenu", "SecondaryActivate"}) { // a right and a middle click
            menu.hide();
            ask("/StatusNotifierItem", "org.kde.StatusNotifierItem", click, {10, 10});
            EXPECT_TRUE(menu.isVisible()) << click;
        }
        menu.hide(); // a click on the second screen opens the menu there
        EXPECT_EQ(QGuiApplication::screens().size(), 2);
        const QRect second = QGuiApplication::screens().value(1, QGuiApplication::primaryScreen())->geometry();
        QCursor::setPos(second.topRight() + QPoint(-5, 5));
        ask("/StatusNotifierItem", "org.kde.StatusNotifierItem", "ContextMenu", {second.right() - 5, 5});
        EXPECT_TRUE(second.contains(menu.geometry())) << menu.x();
        // Hosts' batches: the properties of many items, and clicks, the unknown ones returned.
        const auto group =
            qdbus_cast<platform::MenuItemPropertiesList>(ask("/MenuBar", "com.canonical.dbusmenu", "GetGroupProperties",
                                                             {QVariant::fromValue(QList<int>{1, 3}), QStringList()}));
        ASSERT_EQ(group.size(), 2);
        EXPECT_EQ(std::make_pair(group[1].id, group[1].properties.value("label")),
                  std::make_pair(3, QVariant("_Quit")));
        EXPECT_EQ(group[0].properties.value("label"), QVariant("News & Weather__1"));
        // A hover is no click.
        int triggered = 0;
        QObject::connect(&menu, &QMenu::triggered, [&] { ++triggered; });
        const platform::MenuEvents clicks{{99, "clicked", QDBusVariant(0), 7},
                                          {1, "hovered", QDBusVariant(0), 7},
                                          {1, "clicked", QDBusVariant(0), 7}};
        const QVariant unknown = ask("/MenuBar", "com.canonical.dbusmenu", "EventGroup", {QVariant::fromValue(clicks)});
        EXPECT_EQ(qdbus_cast<QList<int>>(unknown), QList<int>{99});
        EXPECT_TRUE(waitUntil([&] { return triggered == 1; }));
        EXPECT_FALSE(waitUntil([&] { return triggered > 1; }, 300));
    }
    EXPECT_FALSE(host.interface()->isServiceRegistered(watcher.registered[0]).value()); // hosts see the icon go
    QDBusConnection::disconnectFromBus("item");
    QDBusConnection::disconnectFromBus("host");
}

// The named images as trays and windows draw them: each size as Qt's own
// reader reads its PNG, sizes between fitted down, none enlarged.
TEST(StatusNotifier, NamedImagesDrawTheirPngsAndFitTheSizesBetween)
{
    const QIcon app = platform::namedImage("AppIcon");
    QList<int> sides;
    for (const QSize &size : app.availableSizes())
        sides << size.width();
    EXPECT_EQ(sides, (QList<int>{16, 22, 24, 32, 48, 64, 128}));
    EXPECT_TRUE(platform::namedImage("noSuchImage").isNull());
    const auto drawn = [](const QPixmap &pixmap) { return pixmap.toImage().convertToFormat(QImage::Format_ARGB32); };
    for (const int side : {16, 24, 128})
        EXPECT_EQ(drawn(app.pixmap(side)), drawn(QPixmap(QString(":/images/AppIcon-%1.png").arg(side)))) << side;
    EXPECT_EQ(app.pixmap(40).size(), QSize(40, 40));
    EXPECT_EQ(platform::namedImage("statusIcon").pixmap(100).size(), QSize(64, 64));
    // No 20 image: the 22 one is fitted into the 20 high row, not stretched.
    QImage painted(40, 20, QImage::Format_ARGB32_Premultiplied);
    painted.fill(Qt::transparent);
    QPainter painter(&painted);
    app.paint(&painter, painted.rect());
    painter.end();
    EXPECT_EQ(painted.copy(10, 0, 20, 20), app.pixmap(20).toImage()); // centred
}

} // namespace

#include "StatusNotifierTest.moc"
