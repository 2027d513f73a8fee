#pragma once

#include <QDateTime>
#include <chrono>
#include <functional>
#include <memory>

namespace platform {

// The wall clock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class RepeatingTimer {
public:
    virtual ~RepeatingTimer() = default;
    // Never fires again afterwards; a second call is harmless.
    virtual void invalidate() = 0;
    virtual bool isValid() const = 0;
};

struct TimerHandlers {
    std::function<void()> fire;
    // The wall clock was set (by hand, or by a suspend nobody announced):
    // the firing times no longer mean what they meant.
    std::function<void()> wallClockChanged;
};

// Repeating timers on the main event loop: the first firing at a wall-clock
// time, then at that time plus whole intervals. A late firing does not move
// the later ones, and missed firings are not made up one by one.
class Timers {
public:
    virtual ~Timers() = default;
    virtual std::shared_ptr<RepeatingTimer>
    scheduleRepeating(const QDateTime &firstFire, std::chrono::milliseconds interval, TimerHandlers handlers) = 0;
};

// On timerfd with CLOCK_REALTIME: the kernel wakes us at the wall-clock time,
// and tells us when somebody sets the clock.
class WallClockTimers final : public Timers {
public:
    std::shared_ptr<RepeatingTimer> scheduleRepeating(const QDateTime &firstFire, std::chrono::milliseconds interval,
                                                      TimerHandlers handlers) override;
};

} // namespace platform
