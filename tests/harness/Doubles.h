#pragma once

#include "Application.h"
#include "ClipCheck.h"
#include "CurlHttpClient.h"
#include "Dialogs.h"
#include "Folders.h"
#include "LoginItems.h"
#include "MediaAsset.h"
#include "Notifier.h"
#include "Services.h"
#include "SleepWatcher.h"
#include "StatusItem.h"
#include "System.h"
#include "Timers.h"

#include <QDateTime>
#include <QMenu>
#include <algorithm>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

// Test doubles for the desktop services whose real form cannot run here or
// would wait for a person.

struct RecordedAlert {
    platform::AlertSpec spec;
    bool soundPlayed = false; // the alert sound started before the alert
};

// Alerts and their sound in one, so a test sees whether the sound came first.
class RecordingAlerts final : public platform::Alerts, public platform::AlertSound {
public:
    std::vector<RecordedAlert> shown;
    std::function<void()> onShow;

    void playAlert() override { soundPending_ = true; }
    platform::AlertOutcome runModal(const platform::AlertSpec &spec) override
    {
        shown.push_back({spec, std::exchange(soundPending_, false)});
        if (onShow)
            onShow();
        return {platform::kAlertFirstButton, spec.accessoryText.value_or(QString())};
    }

private:
    bool soundPending_ = false;
};

struct Notification {
    QString title;
    QString body;
    friend bool operator==(const Notification &, const Notification &) = default;
};

class RecordingNotifier final : public platform::Notifier {
public:
    std::vector<Notification> posted;
    void post(const QString &title, const QString &body) override { posted.push_back({title, body}); }
};

class FakeStatusItem final : public platform::StatusItem {
public:
    std::vector<QString> images; // the resource name of each image set ("" for none)
    std::vector<bool> masks;     // whether each was to be tinted by the panel
    QMenu *menu = nullptr;
    bool inTray = true;
    QString toolTip;

    void setImage(const QIcon &image) override;
    void setMenu(QMenu *m) override { menu = m; }
    void setClickAction(std::function<void()>) override {}
    bool isShownInTray() const override { return inTray; }
    void setTrayChangedAction(std::function<void()> action) override { trayChanged = std::move(action); }
    void setToolTip(const QString &text) override { toolTip = text; }
    std::function<void()> trayChanged; // what a host coming or going calls
};

class RecordingSystemLog final : public platform::SystemLog {
public:
    std::vector<QString> lines;
    void write(const QString &message) override { lines.push_back(message); }
};

// A clock that moves only when told, and timers that only record what they
// were asked: the real timers are tested on their own.
class FakeClock final : public platform::Clock {
public:
    QDateTime time = QDateTime(QDate(2016, 3, 1), QTime(10, 3));
    QDateTime now() const override { return time; }
};

class FakeTimers final : public platform::Timers {
public:
    struct Timer final : platform::RepeatingTimer {
        QDateTime next;
        std::chrono::milliseconds interval{0};
        platform::TimerHandlers handlers;
        bool valid = true;
        void invalidate() override { valid = false; }
        bool isValid() const override { return valid; }
    };
    std::vector<std::shared_ptr<Timer>> scheduled;

    std::shared_ptr<platform::RepeatingTimer> scheduleRepeating(const QDateTime &firstFire,
                                                                std::chrono::milliseconds interval,
                                                                platform::TimerHandlers handlers) override
    {
        auto timer = std::make_shared<Timer>();
        timer->next = firstFire;
        timer->interval = interval;
        timer->handlers = std::move(handlers);
        scheduled.push_back(timer);
        return timer;
    }
    int liveTimers() const
    {
        return int(std::count_if(scheduled.begin(), scheduled.end(), [](const auto &t) { return t->valid; }));
    }
};

class FakeSleepWatcher final : public platform::SleepWatcher {
public:
    std::vector<std::pair<QString, std::function<void(const QString &)>>> handlers;
    void subscribe(const QString &name, std::function<void(const QString &)> handler) override
    {
        handlers.emplace_back(name, std::move(handler));
    }
    void post(const QString &name)
    {
        for (auto &[subscribed, handler] : handlers)
            if (subscribed == name)
                handler(name);
    }
};

class RecordingUrlOpener final : public platform::UrlOpener {
public:
    std::vector<QUrl> opened;
    bool open(const QUrl &url) override
    {
        opened.push_back(url);
        return true;
    }
};

class ScriptedFileChooser final : public platform::FileChooser {
public:
    std::vector<platform::ChooserOptions> asked;
    platform::ChooserOutcome answer;
    platform::ChooserOutcome runModal(const platform::ChooserOptions &options) override
    {
        asked.push_back(options);
        return answer;
    }
};

class FakeApplication final : public platform::Application {
public:
    std::optional<bool> iconNull; // unset until an icon is set
    int activations = 0;
    int terminations = 0;
    void setIcon(const QIcon &icon) override { iconNull = icon.isNull(); }
    void activateIgnoringOtherApps() override { ++activations; }
    void terminate() override { ++terminations; }
};

// Every double in one place, installed for the object's lifetime, with the
// real HTTP client.
class DoubledServices {
public:
    explicit DoubledServices(const QString &resourcesDir = {});
    ~DoubledServices();

    platform::DesktopFolders folders;
    FakeStatusItem statusItem;
    RecordingAlerts alerts;
    RecordingNotifier notifier;
    RecordingSystemLog systemLog;
    platform::CurlHttpClient http;
    platform::FfmpegClipChecker clips;
    FakeClock clock;
    FakeTimers timers;
    FakeSleepWatcher sleepWatcher;
    platform::AutostartLoginItems loginItems;
    RecordingUrlOpener urlOpener;
    ScriptedFileChooser fileChooser;
    FakeApplication application;
    platform::FfmpegMediaInspector media;

private:
    std::unique_ptr<platform::ServicesScope> scope_;
};
