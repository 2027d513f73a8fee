#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace platform {

// Desktop notifications; posting never blocks.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void post(const QString &title, const QString &body) = 0;
};

// Notifications in small windows of our own, for a session without a
// notification service: each stands on its own (stacked from the top right
// corner, clear of the app's own windows, as tall as its wrapped text),
// takes no focus, blocks nothing and goes away by itself.
class PopupNotifier final : public Notifier {
public:
    // placeable: whether a window goes where it is put; by default, unless on Wayland.
    explicit PopupNotifier(std::chrono::milliseconds shownFor = std::chrono::seconds(10),
                           std::optional<bool> placeable = {});
    ~PopupNotifier() override;
    void post(const QString &title, const QString &body) override;
    // The windows showing now, oldest first.
    std::vector<QWidget *> shown() const;

private:
    void place();
    std::chrono::milliseconds shownFor_;
    bool placeable_;
    std::vector<QWidget *> popups_;
};

// org.freedesktop.Notifications on the session bus. The texts arrive as
// the caller wrote them: the server's capabilities are asked once, and
// where it reads markup, "&", "<" and ">" are escaped. Where it plays no
// sounds, `playSound` plays the notification's. Without a notification
// service, `fallback` shows it (our own windows).
class DBusNotifier final : public Notifier {
public:
    DBusNotifier(QDBusConnection bus, Notifier *fallback, QString appIcon, std::function<void()> playSound = {});
    void post(const QString &title, const QString &body) override;

private:
    void send(const QString &title, const QString &body);
    void fallBack(const QString &title, const QString &body, const QString &why);

    QDBusConnection bus_;
    Notifier *fallback_;
    QString appIcon_;
    std::function<void()> playSound_;
    std::optional<QStringList> capabilities_;          // once the server has said
    std::vector<std::pair<QString, QString>> waiting_; // posted before it did
    bool asking_ = false;
    bool saidWhy_ = false;
    QObject replies_; // owns the calls under way; answers arriving after we are gone go nowhere
};

} // namespace platform
