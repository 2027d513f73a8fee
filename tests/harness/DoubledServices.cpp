#include "DoubledServices.h"

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
