#include "Notifier.h"
#include "Testing.h"

#include <QScopeGuard>
#include <QScreen>

namespace {

// What one daemon was sent for two notifications, and how often we played the sound.
std::pair<std::string, int> notified(const QString &capabilities)
{
    HelperProcess bus({"bus"});
    HelperProcess daemon({"mock", bus["address"], QString(R"({"capabilities": "%1"})").arg(capabilities)});
    EXPECT_TRUE(bus.ok() && daemon.ok());
    auto log = [&] { return readFile(daemon["log"]).toStdString(); };
    const QString name = QUuid::createUuid().toString();
    int sounds = 0;
    {
        RecordingNotifier own;
        platform::DBusNotifier notifier(QDBusConnection::connectToBus(bus["address"], name), &own, "zandorupdate",
                                        [&] { ++sounds; });
        notifier.post("File Succesfully Received", "/home/u/News & Weather <Live>/zandor.mpeg");
        notifier.post("Second", "");
        EXPECT_TRUE(waitUntil([&] { return occurrences(log(), "Notify") >= 2; }));
        EXPECT_TRUE(own.posted.empty());
    }
    QDBusConnection::disconnectFromBus(name);
    return {log(), sounds};
}

TEST(DBusNotifier, SaysExactlyTheCallersTextsAsEachServerReadsThem)
{
    // A server that reads markup (as xfce4-notifyd, dunst, mako and GNOME
    // Shell do) gets the three special characters escaped; we play the sound.
    auto [log, sounds] = notified("body body-markup");
    EXPECT_NE(log.find("\"ZandorUpdate\" 0 \"zandorupdate\" \"File Succesfully Received\" "
                       "\"/home/u/News &amp; Weather &lt;Live&gt;/zandor.mpeg\""),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\"ZandorUpdate\" 0 \"zandorupdate\" \"Second\" \"\""), std::string::npos) << log;
    EXPECT_NE(log.find("desktop-entry"), std::string::npos);
    EXPECT_EQ(log.find("sound-name"), std::string::npos);
    EXPECT_EQ(sounds, 2);
    EXPECT_EQ(occurrences(log, "GetCapabilities"), 1); // asked once

    // Plain text and its own sounds: the body raw, the sound as a hint.
    std::tie(log, sounds) = notified("body sound");
    EXPECT_NE(log.find("\"/home/u/News & Weather <Live>/zandor.mpeg\""), std::string::npos) << log;
    EXPECT_NE(log.find("sound-name"), std::string::npos);
    EXPECT_EQ(sounds, 0);
}

TEST(DBusNotifier, WithoutAServiceOurOwnWindowsShowItAndSaySoOnce)
{
    HelperProcess bus({"bus"}); // nobody owns org.freedesktop.Notifications here
    ASSERT_TRUE(bus.ok());
    const QString name = QUuid::createUuid().toString();
    RecordingNotifier own;
    std::string log;
    std::string out = capturedOutput([&] {
        platform::DBusNotifier notifier(QDBusConnection::connectToBus(bus["address"], name), &own, "icon");
        notifier.post("One", "1");
        notifier.post("Two", "2");
        waitUntil([&] { return own.posted.size() >= 2; }, 10000);
        // A daemon that starts after the app gets the next one.
        HelperProcess daemon({"mock", bus["address"]});
        ASSERT_TRUE(daemon.ok());
        notifier.post("Later", "3");
        EXPECT_TRUE(waitUntil([&] { return readFile(daemon["log"]).contains("Notify"); }));
        log = readFile(daemon["log"]).toStdString();
        // A service that holds the name but does not answer (hung): the
        // notice is not held back for long. A daemon that comes back is
        // asked afresh.
        const pid_t hung = daemon["pid"].toInt();
        ::kill(hung, SIGSTOP);
        platform::DBusNotifier waiting(QDBusConnection::connectToBus(bus["address"], name + "-2"), &own, "icon");
        waiting.post("Quiet", "4");
        EXPECT_TRUE(waitUntil([&] { return own.posted.size() >= 3; }, 8000)); // a few seconds, not half a minute
        ::kill(hung, SIGCONT);
        // Gone after it answered: this notice is ours (and "Later" too, if
        // its answer was still to come). No session bus at all: at once.
        ::kill(hung, SIGKILL);
        notifier.post("Gone", "5");
        EXPECT_TRUE(waitUntil([&] { return own.posted.back().title == "Gone"; }));
        std::erase(own.posted, Notification{"Later", "3"});
        platform::DBusNotifier(QDBusConnection(QStringLiteral("none")), &own, "icon").post("Alone", "6");
    });
    QDBusConnection::disconnectFromBus(name);
    QDBusConnection::disconnectFromBus(name + "-2");
    EXPECT_NE(log.find("\"Later\" \"3\""), std::string::npos) << log;
    EXPECT_EQ(own.posted,
              (std::vector<Notification>{{"One", "1"}, {"Two", "2"}, {"Quiet", "4"}, {"Gone", "5"}, {"Alone", "6"}}));
    EXPECT_EQ(occurrences(out, "Desktop notifications unavailable"), 3) << out; // once by each
}

// Each notice goes after its time, the newer ones staying.
TEST(PopupNotifier, ANoticeGoesAfterItsTime)
{
    platform::PopupNotifier popups(std::chrono::milliseconds(1000));
    popups.post("First", "1");
    waitUntil([] { return false; }, 500);
    popups.post("Second", "2");
    ASSERT_TRUE(waitUntil([&] { return popups.shown().size() == 1; }, 3000));
    EXPECT_EQ(popups.shown()[0]->windowTitle(), "Second");
    EXPECT_TRUE(waitUntil([&] { return popups.shown().empty(); }, 3000));
}

// Our own notices: each as tall as its text wrapped to its width (a long
// path wraps where it has no spaces), inside the screen, clear of the app's
// open window and of each other, at any font size.
TEST(PopupNotifier, EachNoticeFitsItsWrappedTextAndKeepsClearOfTheAppsWindows)
{
    const QFont saved = QApplication::font();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget settings, about; // stacked at the top right: a notice passes both
    settings.setGeometry(area.right() - 320, area.top() + 40, 300, 200);
    about.setGeometry(area.right() - 320, area.top() + 260, 300, 100);
    settings.show();
    about.show();
    // Notices keep a gap from the windows, never touching them.
    const auto margined = [](const QWidget &window) { return window.frameGeometry().adjusted(-12, -12, 12, 12); };
    const auto clear = [&](const QWidget *popup) {
        return !popup->frameGeometry().intersects(margined(settings)) &&
               !popup->frameGeometry().intersects(margined(about));
    };
    for (const int pixels : {9, 14, 20}) {
        QFont font = saved;
        font.setPixelSize(pixels);
        QApplication::setFont(font);
        platform::PopupNotifier popups(std::chrono::minutes(1));
        popups.post("File Succesfully Received", "/home/newsroom/" + QString(200, 'x') + "/zandor.mpeg");
        popups.post("Error Connecting: 503", "Error: 503");
        QCoreApplication::sendPostedEvents();
        const std::vector<QWidget *> shown = popups.shown();
        ASSERT_EQ(shown.size(), 2u);
        for (const QWidget *popup : shown) {
            EXPECT_TRUE(area.contains(popup->frameGeometry())) << pixels << "px";
            EXPECT_TRUE(clear(popup)) << pixels << "px";
            // A notice, not a banner: about forty characters wide.
            EXPECT_LE(popup->width(), popup->fontMetrics().averageCharWidth() * 40 + 64) << pixels << "px";
            const auto texts = popup->findChildren<QWidget *>();
            ASSERT_EQ(texts.size(), 2);
            for (const QWidget *text : texts)
                EXPECT_GE(text->height(), text->heightForWidth(text->width())) << pixels << "px";
        }
        EXPECT_FALSE(shown[0]->frameGeometry().intersects(shown[1]->frameGeometry())) << pixels << "px";
        const QWidget *path = shown[0]->findChildren<QWidget *>().back();
        const QFontMetrics metrics(path->font());
        const int lines = metrics.horizontalAdvance(QString(200, 'x')) / path->width();
        EXPECT_GE(path->height(), lines * metrics.lineSpacing()) << "the path wraps anywhere, " << pixels << "px";
    }
    QFont huge = saved; // forty characters wider than the screen: the notice still keeps its gap
    huge.setPixelSize(area.width() / 16);
    QApplication::setFont(huge);
    {
        platform::PopupNotifier popups(std::chrono::minutes(1));
        popups.post("Error: 503", "Error: 503");
        QCoreApplication::sendPostedEvents();
        EXPECT_TRUE(area.adjusted(12, 12, -12, -12).contains(popups.shown().at(0)->frameGeometry()));
    }
    QApplication::setFont(saved);

    // The text in the window's text colour, whatever a theme gives input fields.
    const QPalette themed = QApplication::palette();
    QPalette palette = themed;
    palette.setColor(QPalette::WindowText, Qt::red);
    palette.setColor(QPalette::Text, Qt::blue);
    QApplication::setPalette(palette);
    const auto restore = qScopeGuard([&] { QApplication::setPalette(themed); });
    // The same words twice: the title, drawn bold, takes more ink.
    platform::PopupNotifier coloured(std::chrono::minutes(1));
    coloured.post("Error: 503", "Error: 503");
    const auto ink = [](QWidget *text, const QColor &colour) {
        const QImage drawn = text->grab().toImage();
        int n = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                n += drawn.pixelColor(x, y) == colour;
        return n;
    };
    const auto texts = coloured.shown().at(0)->findChildren<QWidget *>();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_GT(ink(texts[0], Qt::red), ink(texts[1], Qt::red) * 11 / 10) << ink(texts[0], Qt::red);
    EXPECT_GT(ink(texts[1], Qt::red), 5);
    EXPECT_EQ(ink(texts[0], Qt::blue) + ink(texts[1], Qt::blue), 0);

    // A window down the whole right side, and more notices than one column holds.
    about.hide();
    settings.setGeometry(area.right() - 120, area.top(), 100, area.height());
    platform::PopupNotifier popups(std::chrono::minutes(1));
    for (int i = 0; i < 16; ++i)
        popups.post("Error Connecting: 503", "Error: 503");
    QCoreApplication::sendPostedEvents();
    const std::vector<QWidget *> shown = popups.shown();
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_TRUE(area.contains(shown[i]->frameGeometry())) << i;
        EXPECT_FALSE(shown[i]->frameGeometry().intersects(margined(settings))) << i;
        for (size_t j = 0; j < i; ++j)
            EXPECT_FALSE(shown[i]->frameGeometry().intersects(shown[j]->frameGeometry())) << i << " " << j;
    }
    EXPECT_LT(shown.front()->x(), shown.back()->x()); // the oldest in a column further left
}

// Where windows cannot be placed (Wayland), a notice goes beside the window a
// compositor centres: right of a tall one, narrower and so taller, text whole.
TEST(PopupNotifier, WhereWindowsCannotBePlacedANoticeGoesBesideTheOpenWindow)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget settings;
    QRect tall(0, 0, area.width() - 500, area.height() - 60); // leaves 250 pixels each side
    tall.moveCenter(area.center());
    settings.setGeometry(tall);
    settings.show();
    platform::PopupNotifier popups(std::chrono::minutes(1), false);
    popups.post("File Succesfully Received", "/home/newsroom/" + QString(200, 'x') + "/zandor.mpeg");
    QCoreApplication::sendPostedEvents();
    const QWidget *popup = popups.shown().at(0);
    EXPECT_TRUE(popup->y() == tall.y() && popup->x() > settings.frameGeometry().right()) << "right of it";
    for (const QWidget *text : popup->findChildren<QWidget *>())
        EXPECT_GE(text->height(), text->heightForWidth(text->width()));
    // Once shown it is the compositor's: a later notice leaves it as it is.
    const QSize size = popup->size();
    settings.hide();
    popups.post("Error", "Check your Internet Connection");
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(popup->isVisible() && popup->size() == size);
}

} // namespace
