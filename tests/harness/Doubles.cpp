#include "Doubles.h"

#include "CurlHttpClient.h"

#include <QFile>

void FakeStatusItem::setImage(const QIcon &image)
{
    // Tell the named images apart by what they draw.
    QString name;
    for (const char *candidate : {"statusIcon", "statusWait", "AppIcon"})
        if (!image.isNull() &&
            image.pixmap(16).toImage() == platform::namedImage(QString::fromLatin1(candidate)).pixmap(16).toImage())
            name = QString::fromLatin1(candidate);
    images.push_back(name);
    masks.push_back(image.isMask());
}

std::shared_ptr<platform::RepeatingTimer> FakeTimers::scheduleRepeating(const QDateTime &firstFire,
                                                                        std::chrono::milliseconds interval,
                                                                        platform::TimerHandlers handlers)
{
    auto timer = std::make_shared<Timer>();
    timer->next = firstFire;
    timer->interval = interval;
    timer->handlers = std::move(handlers);
    scheduled.push_back(timer);
    return timer;
}

void FakeTimers::advanceTo(const QDateTime &until)
{
    for (;;) {
        std::shared_ptr<Timer> due;
        for (const auto &timer : scheduled)
            if (timer->valid && timer->next <= until && (!due || timer->next < due->next))
                due = timer;
        if (!due)
            break;
        // A fire date already past fires as soon as it can, from "now".
        if (due->next > clock_.time)
            clock_.time = due->next;
        // Anchored: the next one is the first due time plus whole intervals.
        while (due->next <= clock_.time)
            due->next = due->next.addMSecs(due->interval.count());
        firings.push_back(clock_.time);
        if (auto fire = due->handlers.fire)
            fire();
    }
    if (until > clock_.time)
        clock_.time = until;
}

int FakeTimers::liveTimers() const
{
    int live = 0;
    for (const auto &timer : scheduled)
        live += timer->valid ? 1 : 0;
    return live;
}

DoubledServices::DoubledServices(const QString &resourcesDir)
    : folders(resourcesDir.isEmpty() ? QStringLiteral(ZU_TEST_RESOURCES_DIR) : resourcesDir),
      http(std::make_unique<platform::CurlHttpClient>())
{
    install();
}

void DoubledServices::useHttp(std::unique_ptr<platform::HttpClient> client)
{
    http = std::move(client);
    scope_.reset();
    install();
}

void DoubledServices::install()
{
    scope_ = std::make_unique<platform::ServicesScope>(platform::Services{.folders = &folders,
                                                                          .statusItem = &statusItem,
                                                                          .alerts = &alerts,
                                                                          .alertSound = &sound,
                                                                          .notifier = &notifier,
                                                                          .systemLog = &systemLog,
                                                                          .http = http.get(),
                                                                          .clock = &clock,
                                                                          .timers = &timers,
                                                                          .sleepWatcher = &sleepWatcher,
                                                                          .loginItems = &loginItems,
                                                                          .urlOpener = &urlOpener,
                                                                          .fileChooser = &fileChooser,
                                                                          .application = &application,
                                                                          .media = &media});
}

DoubledServices::~DoubledServices() = default;
