#include "StatusItem.h"

#include "StatusNotifier.h"

#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace platform {

// Drawn ahead at the sizes panels ask for (from the SVGs beside them, with
// rsvg-convert): no SVG renderer is loaded while the app starts.
QIcon namedImage(const QString &name)
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128}) {
        const QString path = QStringLiteral(":/images/%1-%2.png").arg(name).arg(size);
        if (!QFile::exists(path))
            continue;
        QImageReader reader(path, "png");
        reader.setAutoDetectImageFormat(false); // else every image plugin is loaded to guess
        if (QImage image; reader.read(&image))
            icon.addPixmap(QPixmap::fromImage(std::move(image)));
    }
    return icon;
}

TrayStatusItem::TrayStatusItem(QDBusConnection bus)
{
    const bool connected = bus.isConnected();
    notifier_ = std::make_unique<StatusNotifier>(std::move(bus));
    QObject::connect(notifier_.get(), &StatusNotifier::registrationChanged, notifier_.get(),
                     [this](bool registered) { hostChanged(registered); });
    if (!connected) // no session bus: no host can ever come
        hostChanged(false);
}

TrayStatusItem::~TrayStatusItem() = default;

void TrayStatusItem::hostChanged(bool registered)
{
    if (registered) {
        if (xembed_)
            xembed_->hide(); // one icon, not two, on panels that take both
    } else if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // XEmbed exists on X11 only; Qt's icon there must not be a second
        // StatusNotifierItem, and without a watcher it is not.
        showXEmbed();
    }
    if (trayChanged_)
        trayChanged_();
}

void TrayStatusItem::showXEmbed()
{
    if (!xembed_) {
        xembed_ = std::make_unique<QSystemTrayIcon>();
        QObject::connect(xembed_.get(), &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason != QSystemTrayIcon::Trigger)
                return;
            // A plain click opens the menu too, not only the context click.
            if (menu_ && !menu_->isVisible())
                menu_->popup(QCursor::pos());
            if (clickAction_)
                clickAction_();
        });
    }
    xembed_->setIcon(image_);
    xembed_->setContextMenu(menu_);
    xembed_->setToolTip(toolTip_);
    // Without an image Qt refuses to show the icon; setImage() shows it then.
    if (!image_.isNull())
        xembed_->show();
}

void TrayStatusItem::setImage(const QIcon &image)
{
    image_ = image;
    notifier_->setIcon(image);
    if (xembed_) {
        xembed_->setIcon(image);
        if (!image.isNull() && !notifier_->isRegistered() && !xembed_->isVisible())
            xembed_->show();
    }
}

void TrayStatusItem::setMenu(QMenu *menu)
{
    menu_ = menu;
    notifier_->setMenu(menu);
    if (xembed_)
        xembed_->setContextMenu(menu);
}

void TrayStatusItem::setClickAction(std::function<void()> action)
{
    clickAction_ = std::move(action);
}

bool TrayStatusItem::isShownInTray() const
{
    return notifier_->isRegistered() || (xembed_ && QSystemTrayIcon::isSystemTrayAvailable() && xembed_->isVisible());
}

void TrayStatusItem::setToolTip(const QString &text)
{
    toolTip_ = text;
    notifier_->setToolTip(text);
    if (xembed_)
        xembed_->setToolTip(text);
}

} // namespace platform
