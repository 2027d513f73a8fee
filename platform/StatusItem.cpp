#include "StatusItem.h"

#include "StatusNotifier.h"

#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QIconEngine>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QResource>
#include <QSystemTrayIcon>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <png.h>
#include <vector>
#include <xcb/xcb.h>

namespace platform {

namespace {

// Whether an XEmbed tray owns the screen's tray selection now, asked of the X
// server: Qt remembers the first owner it saw and never hears of one that
// went before it started watching, as a panel killed a moment earlier does.
bool xembedTrayOwned()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *x = x11 ? x11->connection() : nullptr;
    if (!x)
        return false;
    static const xcb_atom_t selection = [x] {
        const QByteArray display = qgetenv("DISPLAY");
        const qsizetype dot = display.indexOf('.', display.lastIndexOf(':'));
        const QByteArray name = "_NET_SYSTEM_TRAY_S" + (dot < 0 ? QByteArray("0") : display.mid(dot + 1));
        xcb_intern_atom_reply_t *reply =
            xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, uint16_t(name.size()), name.constData()), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return atom;
    }();
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t *reply =
        xcb_get_selection_owner_reply(x, xcb_get_selection_owner(x, selection), nullptr);
    const bool owned = reply && reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return owned;
}

// PNG straight through libpng: Qt's image reader first looks through every
// image plugin installed, which costs more than the decoding itself.
QImage decodePng(const QString &path)
{
    const QByteArray data = QResource(path).uncompressedData();
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (data.isEmpty() || !png_image_begin_read_from_memory(&png, data.constData(), size_t(data.size())))
        return {};
    png.format = PNG_FORMAT_RGBA;
    QImage image(int(png.width), int(png.height), QImage::Format_RGBA8888);
    if (image.isNull() || !png_image_finish_read(&png, nullptr, image.bits(), image.bytesPerLine(), nullptr)) {
        png_image_free(&png);
        return {};
    }
    return image;
}

// Drawn ahead at the sizes panels ask for (from the SVGs beside them, with
// rsvg-convert), and decoded only at the sizes asked for, when first asked:
// a tray on X11 wants one, a StatusNotifier host six, a window icon none
// until a window shows.
class NamedImageEngine final : public QIconEngine {
public:
    explicit NamedImageEngine(QString name) : name_(std::move(name))
    {
        for (const int side : {16, 22, 24, 32, 48, 64, 128})
            if (QFile::exists(path(side)))
                sides_.push_back(side);
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = pick(size);
        return side ? QSize(side, side).boundedTo(size) : QSize();
    }

    // As Qt's own engine: the smallest image that fills the size, else the
    // largest, scaled down to fit, never up.
    QPixmap pixmap(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = pick(size);
        if (!side)
            return {};
        QPixmap &drawn = drawn_[side];
        if (drawn.isNull())
            drawn = QPixmap::fromImage(decodePng(path(side)));
        const QSize fit = QSize(side, side).boundedTo(size);
        return drawn.size() == fit ? drawn : drawn.scaled(fit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QPixmap drawn = pixmap(rect.size(), mode, state);
        QRect centred(QPoint(), drawn.size());
        centred.moveCenter(rect.center());
        painter->drawPixmap(centred, drawn);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int side : sides_)
            sizes << QSize(side, side);
        return sizes;
    }

    bool isNull() override { return sides_.empty(); }
    QIconEngine *clone() const override { return new NamedImageEngine(*this); }
    QString key() const override { return QStringLiteral("ZandorUpdateNamedImage"); }

private:
    QString path(int side) const { return QStringLiteral(":/images/%1-%2.png").arg(name_).arg(side); }

    int pick(const QSize &size) const
    {
        const int wanted = std::min(size.width(), size.height());
        const auto fills = std::find_if(sides_.begin(), sides_.end(), [wanted](int side) { return side >= wanted; });
        return fills != sides_.end() ? *fills : sides_.empty() ? 0 : sides_.back();
    }

    QString name_;
    std::vector<int> sides_; // ascending
    std::map<int, QPixmap> drawn_;
};

} // namespace

QIcon namedImage(const QString &name)
{
    return QIcon(new NamedImageEngine(name));
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
    return notifier_->isRegistered() || (xembed_ && xembed_->isVisible() && xembedTrayOwned());
}

void TrayStatusItem::setToolTip(const QString &text)
{
    toolTip_ = text;
    notifier_->setToolTip(text);
    if (xembed_)
        xembed_->setToolTip(text);
}

} // namespace platform
