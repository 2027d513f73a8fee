#include "Doubles.h"

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

DoubledServices::DoubledServices(const QString &resourcesDir)
    : folders(resourcesDir.isEmpty() ? QStringLiteral(ZU_TEST_RESOURCES_DIR) : resourcesDir)
{
    scope_ = std::make_unique<platform::ServicesScope>(platform::Services{.folders = &folders,
                                                                          .statusItem = &statusItem,
                                                                          .alerts = &alerts,
                                                                          .alertSound = &alerts,
                                                                          .notifier = &notifier,
                                                                          .systemLog = &systemLog,
                                                                          .http = &http,
                                                                          .clips = &clips,
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
