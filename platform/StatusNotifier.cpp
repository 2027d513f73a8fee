#include "StatusNotifier.h"

#include "Activation.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QtEndian>
#include <algorithm>

namespace platform {

// ---- The wire types ---------------------------------------------------------

QDBusArgument &operator<<(QDBusArgument &out, const SniPixmap &pixmap)
{
    out.beginStructure();
    out << pixmap.width << pixmap.height << pixmap.argb;
    out.endStructure();
    return out;
}

const QDBusArgument &operator>>(const QDBusArgument &in, SniPixmap &pixmap)
{
    in.beginStructure();
    in >> pixmap.width >> pixmap.height >> pixmap.argb;
    in.endStructure();
    return in;
}

QDBusArgument &operator<<(QDBusArgument &out, const SniToolTip &tip)
{
    out.beginStructure();
    out << tip.iconName << tip.icon << tip.title << tip.text;
    out.endStructure();
    return out;
}

const QDBusArgument &operator>>(const QDBusArgument &in, SniToolTip &tip)
{
    in.beginStructure();
    in >> tip.iconName >> tip.icon >> tip.title >> tip.text;
    in.endStructure();
    return in;
}

QDBusArgument &operator<<(QDBusArgument &out, const MenuLayoutItem &item)
{
    out.beginStructure();
    out << item.id << item.properties;
    out.beginArray(qMetaTypeId<QDBusVariant>());
    for (const QVariant &child : item.children)
        out << child.value<QDBusVariant>();
    out.endArray();
    out.endStructure();
    return out;
}

const QDBusArgument &operator>>(const QDBusArgument &in, MenuLayoutItem &item)
{
    in.beginStructure();
    in >> item.id >> item.properties;
    in.beginArray();
    while (!in.atEnd()) {
        QDBusVariant child;
        in >> child;
        item.children << QVariant::fromValue(child);
    }
    in.endArray();
    in.endStructure();
    return in;
}

QDBusArgument &operator<<(QDBusArgument &out, const MenuItemProperties &item)
{
    out.beginStructure();
    out << item.id << item.properties;
    out.endStructure();
    return out;
}

const QDBusArgument &operator>>(const QDBusArgument &in, MenuItemProperties &item)
{
    in.beginStructure();
    in >> item.id >> item.properties;
    in.endStructure();
    return in;
}

QDBusArgument &operator<<(QDBusArgument &out, const MenuEvent &event)
{
    out.beginStructure();
    out << event.id << event.eventId << event.data << event.timestamp;
    out.endStructure();
    return out;
}

const QDBusArgument &operator>>(const QDBusArgument &in, MenuEvent &event)
{
    in.beginStructure();
    in >> event.id >> event.eventId >> event.data >> event.timestamp;
    in.endStructure();
    return in;
}

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
constexpr std::chrono::milliseconds kSettle{1000};
constexpr int kNearPointer = 64; // a panel's height or two

void registerTypes()
{
    static const bool once = [] {
        qDBusRegisterMetaType<SniPixmap>();
        qDBusRegisterMetaType<SniPixmaps>();
        qDBusRegisterMetaType<SniToolTip>();
        qDBusRegisterMetaType<MenuLayoutItem>();
        qDBusRegisterMetaType<MenuItemProperties>();
        qDBusRegisterMetaType<MenuItemPropertiesList>();
        qDBusRegisterMetaType<MenuEvent>();
        qDBusRegisterMetaType<MenuEvents>();
        // The adaptors' signatures name the lists by these aliases.
        qRegisterMetaType<SniPixmaps>("platform::SniPixmaps");
        qRegisterMetaType<MenuItemPropertiesList>("platform::MenuItemPropertiesList");
        qRegisterMetaType<MenuEvents>("platform::MenuEvents");
        return true;
    }();
    (void)once;
}

// The icon at the sizes panels draw, as the protocol's ARGB32 in
// network byte order.
SniPixmaps toPixmaps(const QIcon &icon)
{
    SniPixmaps pixmaps;
    if (icon.isNull())
        return pixmaps;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        const QImage image = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull())
            continue;
        SniPixmap pixmap{image.width(), image.height(), QByteArray()};
        pixmap.argb.resize(qsizetype(image.width()) * image.height() * 4);
        auto *out = reinterpret_cast<quint32 *>(pixmap.argb.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const quint32 *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                *out++ = qToBigEndian(line[x]);
        }
        pixmaps << pixmap;
    }
    return pixmaps;
}

QString withoutAccelerator(QString text)
{
    // dbusmenu marks the accelerator with "_"; Qt with "&".
    text.replace(QLatin1Char('_'), QStringLiteral("__"));
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.replace(QLatin1Char('&'), QLatin1Char('_'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

} // namespace

// ---- The item ---------------------------------------------------------------

StatusNotifier::StatusNotifier(QDBusConnection bus)
    : bus_(std::move(bus)),
      service_(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid()))
{
    registerTypes();
    new SniAdaptor(this);
    new MenuAdaptor(this);
    if (!bus_.isConnected())
        return;
    bus_.registerObject(QStringLiteral("/StatusNotifierItem"), this, QDBusConnection::ExportAdaptors);
    bus_.registerObject(QStringLiteral("/MenuBar"), this, QDBusConnection::ExportAdaptors);
    claimBusName(bus_, service_);
    // A host that comes (or comes back) later gets the item too.
    auto *watcher = new QDBusServiceWatcher(kWatcher, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &owner) {
                reRegistrations_ = 0;
                // A host that has just come gets a moment to finish starting:
                // the AppIndicator extension loses items that come at once.
                if (!owner.isEmpty())
                    return QTimer::singleShot(kSettle, this, [this] { registerWithWatcher(); });
                lostRegistration();
            });
    bus_.connect(kWatcher, QStringLiteral("/StatusNotifierWatcher"), kWatcher,
                 QStringLiteral("StatusNotifierItemUnregistered"), this, SLOT(itemUnregistered(QString)));
    registerWithWatcher();
}

// A host that drops the item while it lives gets it again, a few times: the
// AppIndicator extension does so when it stumbles while (re)starting.
void StatusNotifier::itemUnregistered(const QString &id)
{
    // Hosts name an item by its service, or by its connection and path.
    const QString connection = id.left(id.indexOf(QRegularExpression(QStringLiteral("[@/]"))));
    if (id != service_ && connection != bus_.baseService())
        return;
    lostRegistration();
    if (++reRegistrations_ <= 5)
        QTimer::singleShot(kSettle, this, [this] { registerWithWatcher(); });
}

void StatusNotifier::lostRegistration()
{
    if (std::exchange(registered_, false))
        emit registrationChanged(false);
}

StatusNotifier::~StatusNotifier()
{
    if (bus_.isConnected())
        bus_.unregisterService(service_);
}

void StatusNotifier::registerWithWatcher()
{
    QDBusMessage call = QDBusMessage::createMethodCall(kWatcher, QStringLiteral("/StatusNotifierWatcher"), kWatcher,
                                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << service_;
    auto *pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending] {
        pending->deleteLater();
        registered_ = !pending->isError();
        emit registrationChanged(registered_);
    });
}

void StatusNotifier::setIcon(const QIcon &icon)
{
    icon_ = icon;
    pixmaps_.reset();
    if (auto *adaptor = findChild<SniAdaptor *>())
        emit adaptor->NewIcon();
}

void StatusNotifier::setToolTip(const QString &text)
{
    toolTipText_ = text;
    if (auto *adaptor = findChild<SniAdaptor *>())
        emit adaptor->NewToolTip();
}

SniPixmaps StatusNotifier::pixmaps() const
{
    if (!pixmaps_)
        pixmaps_ = toPixmaps(icon_);
    return *pixmaps_;
}

SniToolTip StatusNotifier::toolTip() const
{
    return {QString(), {}, QStringLiteral("ZandorUpdate"), toolTipText_};
}

void StatusNotifier::setMenu(QMenu *menu)
{
    menu_ = menu;
    if (menu)
        for (QAction *action : menu->actions())
            connect(action, &QAction::changed, this, &StatusNotifier::layoutChanged);
    layoutChanged();
}

void StatusNotifier::layoutChanged()
{
    ++revision_;
    if (auto *adaptor = findChild<MenuAdaptor *>())
        emit adaptor->LayoutUpdated(revision_, 0);
}

// Item 0 is the menu itself; its actions are 1, 2, ... in order.
int StatusNotifier::idOf(QAction *action) const
{
    return menu_ ? int(menu_->actions().indexOf(action)) + 1 : -1;
}

QAction *StatusNotifier::action(int id) const
{
    if (!menu_ || id < 1 || id > menu_->actions().size())
        return nullptr;
    return menu_->actions().at(id - 1);
}

QVariantMap StatusNotifier::properties(QAction *action) const
{
    if (!action)
        return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
    if (action->isSeparator())
        return {{QStringLiteral("type"), QStringLiteral("separator")}};
    QVariantMap properties{{QStringLiteral("label"), withoutAccelerator(action->text())}};
    if (!action->isEnabled())
        properties.insert(QStringLiteral("enabled"), false);
    if (!action->isVisible())
        properties.insert(QStringLiteral("visible"), false);
    return properties;
}

MenuLayoutItem StatusNotifier::layout(int parentId, int depth) const
{
    MenuLayoutItem item{parentId, properties(action(parentId)), {}};
    if (parentId == 0 && menu_ && depth != 0)
        for (QAction *child : menu_->actions())
            item.children << QVariant::fromValue(
                QDBusVariant(QVariant::fromValue(MenuLayoutItem{idOf(child), properties(child), {}})));
    return item;
}

void StatusNotifier::refuse(const QDBusMessage &call, QDBusError::ErrorType type, const QString &why) const
{
    call.setDelayedReply(true);
    bus_.send(call.createErrorReply(type, why));
}

bool StatusNotifier::popUpMenu(int x, int y)
{
    if (!menu_ || QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return false;
    if (menu_->isVisible())
        return true; // a second click while it is up: the same menu
    // Hosts send where the icon is, not always right (MATE's tray sends x 0)
    // or on any screen: a point far from the pointer, which is on the icon
    // just clicked, gives way to the pointer's.
    const QPoint pointer = QCursor::pos();
    QPoint at(x, y);
    if (!QGuiApplication::screenAt(at) || (at - pointer).manhattanLength() > kNearPointer)
        at = pointer;
    QScreen *screen = QGuiApplication::screenAt(at) ? QGuiApplication::screenAt(at) : QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    const QRect room = screen->availableGeometry();
    at.setX(std::clamp(at.x(), room.left(), room.right()));
    at.setY(std::clamp(at.y(), room.top(), room.bottom()));
    menu_->popup(at);
    return true;
}

void StatusNotifier::menuEvent(int id, const QString &eventId)
{
    if (eventId != QLatin1String("clicked"))
        return;
    // After the host's own handling of the click, as a menu would.
    if (QAction *target = action(id); target && target->isEnabled())
        QMetaObject::invokeMethod(target, &QAction::trigger, Qt::QueuedConnection);
}

// ---- dbusmenu -----------------------------------------------------------------

uint MenuAdaptor::GetLayout(int parentId, int recursionDepth, const QStringList &, MenuLayoutItem &layout)
{
    layout = item_->layout(parentId, recursionDepth);
    return item_->revision();
}

MenuItemPropertiesList MenuAdaptor::GetGroupProperties(const QList<int> &ids, const QStringList &)
{
    MenuItemPropertiesList list;
    for (const int id : ids)
        list << MenuItemProperties{id, item_->properties(item_->action(id))};
    return list;
}

QDBusVariant MenuAdaptor::GetProperty(int id, const QString &name, const QDBusMessage &call)
{
    // A property left at its default is not carried; an empty variant would
    // not marshal and the host would wait for a reply that never comes.
    const QVariant value = item_->properties(item_->action(id)).value(name);
    if (!value.isValid()) { // then the error is the reply, and nothing returned here is sent
        item_->refuse(call, QDBusError::InvalidArgs, QStringLiteral("The item has no property ") + name);
        return {};
    }
    return QDBusVariant(value);
}

void MenuAdaptor::Event(int id, const QString &eventId, const QDBusVariant &, uint)
{
    item_->menuEvent(id, eventId);
}

QList<int> MenuAdaptor::EventGroup(const MenuEvents &events)
{
    QList<int> unknown;
    for (const MenuEvent &event : events) {
        if (event.id != 0 && !item_->action(event.id))
            unknown << event.id;
        else
            item_->menuEvent(event.id, event.eventId);
    }
    return unknown;
}

bool MenuAdaptor::AboutToShow(int)
{
    return false; // nothing changes just because the menu opens
}

QList<int> MenuAdaptor::AboutToShowGroup(const QList<int> &, QList<int> &idErrors)
{
    idErrors.clear();
    return {};
}

} // namespace platform
