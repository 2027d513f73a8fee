#include "Notifier.h"

#include "Output.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFrame>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTextDocument>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <QtMath>
#include <algorithm>
#include <utility>

namespace platform {

namespace {

constexpr int kCapabilitiesWaitMs = 3000;

QDBusMessage notificationsCall(const QString &method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                          QStringLiteral("/org/freedesktop/Notifications"),
                                          QStringLiteral("org.freedesktop.Notifications"), method);
}
// A notice's text, exactly as the caller wrote it, wrapped at spaces and
// where there are none (a long path) anywhere: a label would clip it.
class NoticeText final : public QWidget {
public:
    NoticeText(const QString &text, bool bold, QWidget *parent) : QWidget(parent)
    {
        QFont shown = font();
        shown.setBold(bold);
        setFont(shown);
        document_.setDefaultFont(shown);
        document_.setDocumentMargin(0);
        QTextOption option = document_.defaultTextOption();
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        document_.setDefaultTextOption(option);
        document_.setPlainText(text);
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
        setAccessibleName(text);
    }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        document_.setTextWidth(width);
        return qCeil(document_.size().height());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        document_.setTextWidth(width());
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette = palette();
        context.palette.setColor(QPalette::Text, palette().color(QPalette::WindowText));
        document_.documentLayout()->draw(&painter, context);
    }

private:
    mutable QTextDocument document_;
};

} // namespace

DBusNotifier::DBusNotifier(QDBusConnection bus, Notifier *fallback, QString appIcon, std::function<void()> playSound)
    : bus_(std::move(bus)), fallback_(fallback), appIcon_(std::move(appIcon)), playSound_(std::move(playSound))
{
}

void DBusNotifier::post(const QString &title, const QString &body)
{
    if (!bus_.isConnected()) {
        fallBack(title, body, QStringLiteral("no session bus"));
        return;
    }
    if (capabilities_)
        return send(title, body);
    waiting_.emplace_back(title, body);
    if (asking_)
        return;
    asking_ = true;
    // A short wait: a name that is activatable but never answers must not
    // hold the notice back for D-Bus's default 25 seconds.
    auto *watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(notificationsCall(QStringLiteral("GetCapabilities")), kCapabilitiesWaitMs), &replies_);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &replies_, [this, watcher] {
        watcher->deleteLater();
        asking_ = false;
        const QDBusPendingReply<QStringList> reply = *watcher;
        auto waiting = std::exchange(waiting_, {});
        if (reply.isError()) { // nobody there: ask again next time, the daemon may come
            for (const auto &[heldTitle, heldBody] : waiting)
                fallBack(heldTitle, heldBody, reply.error().message());
            return;
        }
        capabilities_ = reply.value();
        for (const auto &[heldTitle, heldBody] : waiting)
            send(heldTitle, heldBody);
    });
}

void DBusNotifier::send(const QString &title, const QString &body)
{
    QDBusMessage call = notificationsCall(QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("zandorupdate"));
    const bool playsSounds = capabilities_->contains(QStringLiteral("sound"));
    if (playsSounds)
        hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));
    else if (playSound_)
        playSound_();
    // A body the server reads as markup gets its three special characters
    // escaped, so a folder "News & Weather <Live>" shows as it is named.
    const bool markup = capabilities_->contains(QStringLiteral("body-markup"));
    QString shown = body;
    if (markup)
        shown.replace(QLatin1Char('&'), QStringLiteral("&amp;"))
            .replace(QLatin1Char('<'), QStringLiteral("&lt;"))
            .replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    // replaces_id 0: every notification stands on its own.
    call << QStringLiteral("ZandorUpdate") << uint(0) << appIcon_ << title << shown << QStringList() << hints
         << int(-1);

    // Asynchronous: we only look at the answer to learn that nobody is there
    // any more (the daemon went away; the next post asks afresh).
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), &replies_);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &replies_, [this, watcher, title, body] {
        watcher->deleteLater();
        if (watcher->isError()) {
            capabilities_.reset();
            fallBack(title, body, watcher->error().message());
        }
    });
}

void DBusNotifier::fallBack(const QString &title, const QString &body, const QString &why)
{
    if (!saidWhy_) {
        saidWhy_ = true;
        printLine(QStringLiteral("Desktop notifications unavailable (%1); showing them in windows of our own").arg(why),
                  Level::Warning);
    }
    if (fallback_)
        fallback_->post(title, body);
}

PopupNotifier::PopupNotifier(std::chrono::milliseconds shownFor, std::optional<bool> placeable)
    : shownFor_(shownFor),
      placeable_(placeable.value_or(!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))))
{
}

PopupNotifier::~PopupNotifier()
{
    for (QWidget *popup : popups_)
        delete popup;
}

void PopupNotifier::post(const QString &title, const QString &body)
{
    auto *popup = new QFrame(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                          Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint);
    popup->setObjectName(QStringLiteral("zandorupdateNotification"));
    popup->setAttribute(Qt::WA_ShowWithoutActivating);
    popup->setFrameShape(QFrame::StyledPanel);
    popup->setWindowTitle(title);
    auto *layout = new QVBoxLayout(popup);
    for (const auto &[text, bold] : {std::pair(title, true), std::pair(body, false)})
        layout->addWidget(new NoticeText(text, bold, popup));
    popups_.push_back(popup);
    place();
    popup->show();
    QTimer::singleShot(shownFor_, popup, [this, popup] {
        std::erase(popups_, popup);
        popup->deleteLater();
        place();
    });
}

std::vector<QWidget *> PopupNotifier::shown() const
{
    return popups_;
}

namespace {

constexpr int kGap = 12;

// The app's own windows a notice must not cover.
std::vector<QWidget *> appWindows(const std::vector<QWidget *> &popups)
{
    std::vector<QWidget *> windows;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = widget->windowType();
        if (widget->isVisible() && type != Qt::Popup && type != Qt::ToolTip &&
            std::find(popups.begin(), popups.end(), widget) == popups.end())
            windows.push_back(widget);
    }
    return windows;
}

// A width of about forty characters of its font, and as tall as its text
// wrapped to that width: never clipped, whatever the font or scale.
QSize fittedSize(QWidget *popup, const QRect &area)
{
    const int width = std::min(popup->fontMetrics().averageCharWidth() * 40 + 2 * kGap, area.width() - 2 * kGap);
    return {width, popup->layout()->totalHeightForWidth(width)};
}

// Where a notice goes beside a window whose place we cannot learn
// (Wayland): compositors open a new window centred, so the room it leaves
// is known. Below it where the notice fits, else right of it (narrower if
// need be); else below, where the compositor slides it into view. The
// answer is relative to the window's top left.
QRect besideCentred(QWidget *popup, const QSize &window, const QRect &area)
{
    const QSize wanted = fittedSize(popup, area);
    const QRect below(QPoint(0, window.height() + kGap), wanted);
    if (wanted.height() <= (area.height() - window.height()) / 2 - 2 * kGap)
        return below;
    const int width = std::min(wanted.width(), (area.width() - window.width()) / 2 - 2 * kGap);
    if (width < popup->fontMetrics().averageCharWidth() * 20)
        return below;
    const QSize narrow(width, popup->layout()->totalHeightForWidth(width));
    return narrow.height() <= area.height() - 2 * kGap ? QRect(QPoint(window.width() + kGap, 0), narrow) : below;
}

} // namespace

// Newest at the top right, the earlier ones below it (in a column further
// left once one runs out of room), each moved past the app's own windows:
// below one where it fits, else left of it. Where windows cannot be placed
// (Wayland), a notice shown while one of the app's windows is open goes
// beside that window, tied to it.
void PopupNotifier::place()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const std::vector<QWidget *> windows = appWindows(popups_);
    std::vector<QRect> taken; // each window with a margin round it
    for (const QWidget *window : windows)
        taken.push_back(window->frameGeometry().adjusted(-kGap, -kGap, kGap, kGap));
    const int top = area.top() + kGap;
    int right = area.right() - kGap, y = top, columnWidth = 0;
    for (auto it = popups_.rbegin(); it != popups_.rend(); ++it) {
        QWidget *popup = *it;
        if (!placeable_) {
            if (popup->isVisible()) // the compositor has it now
                continue;
            if (windows.empty()) {
                popup->setFixedSize(fittedSize(popup, area));
                continue;
            }
            const QWidget *window = windows.front();
            const QRect at = besideCentred(popup, window->frameGeometry().size(), area);
            popup->setFixedSize(at.size());
            popup->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
            popup->winId();
            popup->windowHandle()->setTransientParent(window->windowHandle());
            popup->move(window->geometry().topLeft() + at.topLeft());
            continue;
        }
        popup->setFixedSize(fittedSize(popup, area));
        QRect at;
        // Each step moves it down or left; the bound is for peace of mind.
        for (int step = 0; step < 64; ++step) {
            at = QRect(QPoint(right - popup->width() + 1, y), popup->size());
            if (at.bottom() > area.bottom() && y > top) { // the next column
                right -= columnWidth + kGap;
                y = top;
                columnWidth = 0;
                continue;
            }
            const auto covered =
                std::find_if(taken.begin(), taken.end(), [&](const QRect &window) { return window.intersects(at); });
            if (covered == taken.end())
                break;
            if (covered->bottom() + at.height() <= area.bottom())
                y = covered->bottom() + 1;
            else
                right = covered->left() - 1;
        }
        at.moveLeft(std::max(at.left(), area.left()));
        popup->move(at.topLeft());
        y = at.bottom() + 1 + kGap / 2;
        columnWidth = std::max(columnWidth, at.width());
    }
}

} // namespace platform
