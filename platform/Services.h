#pragma once

namespace platform {

class Folders;
class StatusItem;
class Alerts;
class AlertSound;
class Notifier;
class SystemLog;
class HttpClient;
class ClipChecker;
class Clock;
class Timers;
class SleepWatcher;
class LoginItems;
class UrlOpener;
class FileChooser;
class Application;
class MediaInspector;

// The desktop services the program uses, all behind their interfaces. main()
// installs the real ones; tests install doubles.
struct Services {
    Folders *folders = nullptr;
    StatusItem *statusItem = nullptr;
    Alerts *alerts = nullptr;
    AlertSound *alertSound = nullptr;
    Notifier *notifier = nullptr;
    SystemLog *systemLog = nullptr;
    HttpClient *http = nullptr;
    ClipChecker *clips = nullptr;
    Clock *clock = nullptr;
    Timers *timers = nullptr;
    SleepWatcher *sleepWatcher = nullptr;
    LoginItems *loginItems = nullptr;
    UrlOpener *urlOpener = nullptr;
    FileChooser *fileChooser = nullptr;
    Application *application = nullptr;
    MediaInspector *media = nullptr;
};

// The installed services; aborts when none are installed.
Services &services();

// Installs a set of services for its lifetime, restoring the previous set.
class ServicesScope {
public:
    explicit ServicesScope(const Services &installed);
    ~ServicesScope();
    ServicesScope(const ServicesScope &) = delete;
    ServicesScope &operator=(const ServicesScope &) = delete;

private:
    Services *previous_;
    Services installed_;
};

} // namespace platform
