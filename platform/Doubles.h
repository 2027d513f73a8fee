#pragma once

#include "Application.h"
#include "Dialogs.h"
#include "Notifier.h"
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

// The test doubles of the desktop services whose real form cannot run in a
// test or would wait for a person. Linked into the tests only.
namespace platform::doubles {

struct RecordedAlert {
    AlertSpec spec;
    bool soundPlayed = false; // the alert sound started before the alert
};

// Alerts and their sound in one, so a test sees whether the sound came first.
class RecordingAlerts final : public Alerts, public AlertSound {
public:
    std::vector<RecordedAlert> shown;
    std::function<void()> onShow;

    void playAlert() override { soundPending_ = true; }
    AlertOutcome runModal(const AlertSpec &spec) override
    {
        shown.push_back({spec, std::exchange(soundPending_, false)});
        if (onShow)
            onShow();
        return {kAlertFirstButton, spec.accessoryText.value_or(QString())};
    }

private:
    bool soundPending_ = false;
};

struct Notification {
    QString title;
    QString body;
    friend bool operator==(const Notification &, const Notification &) = default;
};

class RecordingNotifier final : public Notifier {
public:
    std::vector<Notification> posted;
    void post(const QString &title, const QString &body) override { posted.push_back({title, body}); }
};

class FakeStatusItem final : public StatusItem {
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

class RecordingSystemLog final : public SystemLog {
public:
    std::vector<QString> lines;
    void write(const QString &message) override { lines.push_back(message); }
};

// A clock that moves only when told, and timers that only record what they
// were asked: the real timers are tested on their own.
class FakeClock final : public Clock {
public:
    QDateTime time = QDateTime(QDate(2016, 3, 1), QTime(10, 3));
    QDateTime now() const override { return time; }
};

class FakeTimers final : public Timers {
public:
    struct Timer final : RepeatingTimer {
        QDateTime next;
        std::chrono::milliseconds interval{0};
        TimerHandlers handlers;
        bool valid = true;
        void invalidate() override { valid = false; }
        bool isValid() const override { return valid; }
    };
    std::vector<std::shared_ptr<Timer>> scheduled;

    std::shared_ptr<RepeatingTimer> scheduleRepeating(const QDateTime &firstFire, std::chrono::milliseconds interval,
                                                      TimerHandlers handlers) override
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

class FakeSleepWatcher final : public SleepWatcher {
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

class RecordingUrlOpener final : public UrlOpener {
public:
    std::vector<QUrl> opened;
    bool open(const QUrl &url) override
    {
        opened.push_back(url);
        return true;
    }
};

class ScriptedFileChooser final : public FileChooser {
public:
    std::vector<ChooserOptions> asked;
    ChooserOutcome answer;
    ChooserOutcome runModal(const ChooserOptions &options) override
    {
        asked.push_back(options);
        return answer;
    }
};

class FakeApplication final : public Application {
public:
    std::optional<bool> iconNull; // unset until an icon is set
    int activations = 0;
    int terminations = 0;
    void setIcon(const QIcon &icon) override { iconNull = icon.isNull(); }
    void activateIgnoringOtherApps() override { ++activations; }
    void terminate() override { ++terminations; }
};

} // namespace platform::doubles
