#include "Activation.h"

#include <QDBusMessage>
#include <QDBusPendingCall>

namespace platform {

namespace {

const QString kName = QStringLiteral("example.tavrel.ZandorUpdate");
const QString kPath = QStringLiteral("/example/tavrel/ZandorUpdate");
constexpr int kAnswerWithinMs = 5000;

} // namespace

InstanceActivation::InstanceActivation(QDBusConnection bus, std::function<void()> activate)
    : bus_(std::move(bus)), activate_(std::move(activate))
{
    if (!bus_.isConnected())
        return;
    bus_.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots);
    claimBusName(bus_, kName);
}

InstanceActivation::~InstanceActivation()
{
    if (!bus_.isConnected())
        return;
    bus_.unregisterService(kName);
    bus_.unregisterObject(kPath);
}

void InstanceActivation::Activate(const QVariantMap &)
{
    if (activate_)
        activate_();
}

bool InstanceActivation::activateRunning(QDBusConnection bus)
{
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kName, kPath, QStringLiteral("org.freedesktop.Application"),
                                                       QStringLiteral("Activate"));
    call << QVariantMap();
    return bus.call(call, QDBus::Block, kAnswerWithinMs).type() == QDBusMessage::ReplyMessage;
}

void claimBusName(const QDBusConnection &bus, const QString &name)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    call << name << uint(4); // DBUS_NAME_FLAG_DO_NOT_QUEUE
    bus.asyncCall(call);
}

} // namespace platform
