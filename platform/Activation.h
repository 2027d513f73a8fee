#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>
#include <functional>

namespace platform {

// The running instance can always be reached: it answers
// org.freedesktop.Application's Activate under the app's name on the session
// bus, and a later start (from the applications menu, say) asks it to come
// forward instead of leaving without a word.
class InstanceActivation final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    InstanceActivation(QDBusConnection bus, std::function<void()> activate);
    ~InstanceActivation() override;

    // Asks the running instance to come forward; false when none answered.
    static bool activateRunning(QDBusConnection bus);

public slots:
    Q_SCRIPTABLE void Activate(const QVariantMap &platformData);

private:
    QDBusConnection bus_;
    std::function<void()> activate_;
};

// Asks for a well-known name on a bus without waiting for the answer (a
// blocking round trip to the bus would hold up start-up).
void claimBusName(const QDBusConnection &bus, const QString &name);

} // namespace platform
