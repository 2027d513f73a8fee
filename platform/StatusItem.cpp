#include "StatusItem.h"

#include <QCursor>
#include <QFile>
#include <QMenu>
#include <QSystemTrayIcon>

namespace platform {

QIcon namedImage(const QString &name)
{
    const QString path = QStringLiteral(":/images/%1.svg").arg(name);
    if (name.isEmpty() || !QFile::exists(path))
        return {};
    return QIcon(path);
}

TrayStatusItem::TrayStatusItem() : tray_(std::make_unique<QSystemTrayIcon>())
{
    QObject::connect(tray_.get(), &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger)
            return;
        // A plain click opens the menu too, not only the context click.
        if (QMenu *menu = tray_->contextMenu(); menu && !menu->isVisible())
            menu->popup(QCursor::pos());
        if (clickAction_)
            clickAction_();
    });
    // Without an image Qt refuses to show the icon; setImage() shows it.
}

TrayStatusItem::~TrayStatusItem() = default;

void TrayStatusItem::setImage(const QIcon &image)
{
    tray_->setIcon(image);
    if (!image.isNull() && !tray_->isVisible())
        tray_->show();
}

void TrayStatusItem::setMenu(QMenu *menu)
{
    tray_->setContextMenu(menu);
}

void TrayStatusItem::setClickAction(std::function<void()> action)
{
    clickAction_ = std::move(action);
}

bool TrayStatusItem::isShownInTray() const
{
    return QSystemTrayIcon::isSystemTrayAvailable() && tray_->isVisible();
}

void TrayStatusItem::setToolTip(const QString &text)
{
    tray_->setToolTip(text);
}

} // namespace platform
