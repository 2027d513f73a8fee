#pragma once

#include <QDBusConnection>
#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace platform {

// An image by resource name ("statusIcon", "statusWait", "AppIcon"); a null
// icon when there is no such resource. Setters take a null icon as "no image".
QIcon namedImage(const QString &name);

// The icon in the desktop's tray, with its menu.
class StatusItem {
public:
    virtual ~StatusItem() = default;
    virtual void setImage(const QIcon &image) = 0;
    virtual void setMenu(QMenu *menu) = 0;
    // Called when the icon itself is clicked; the menu opens either way.
    virtual void setClickAction(std::function<void()> action) = 0;
    // Whether a tray host shows the icon right now.
    virtual bool isShownInTray() const = 0;
    // Called whenever a tray host takes the icon or lets it go.
    virtual void setTrayChangedAction(std::function<void()> action) = 0;
    // What the icon says when pointed at.
    virtual void setToolTip(const QString &text) = 0;
};

class StatusNotifier;

// The tray icon on every desktop: a StatusNotifierItem whenever a host
// (StatusNotifierWatcher) is there, now or later; on X11 without one, an
// XEmbed icon until a host comes.
class TrayStatusItem final : public StatusItem {
public:
    explicit TrayStatusItem(QDBusConnection bus);
    ~TrayStatusItem() override;
    void setImage(const QIcon &image) override;
    void setMenu(QMenu *menu) override;
    void setClickAction(std::function<void()> action) override;
    bool isShownInTray() const override;
    void setTrayChangedAction(std::function<void()> action) override { trayChanged_ = std::move(action); }
    void setToolTip(const QString &text) override;

private:
    void hostChanged(bool registered);
    void showXEmbed();

    std::unique_ptr<StatusNotifier> notifier_;
    std::unique_ptr<QSystemTrayIcon> xembed_; // made only where no host took the item
    QIcon image_;
    QPointer<QMenu> menu_;
    QString toolTip_;
    std::function<void()> clickAction_;
    std::function<void()> trayChanged_;
};

} // namespace platform
