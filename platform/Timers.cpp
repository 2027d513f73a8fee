#include "Timers.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>

namespace platform {

namespace {

timespec toTimespec(std::chrono::nanoseconds ns)
{
    timespec ts{};
    ts.tv_sec = time_t(ns.count() / 1'000'000'000);
    ts.tv_nsec = long(ns.count() % 1'000'000'000);
    return ts;
}

class TimerFd final : public RepeatingTimer {
public:
    TimerFd(const QDateTime &firstFire, std::chrono::milliseconds interval, TimerHandlers handlers)
        : next_(firstFire.toMSecsSinceEpoch()), interval_(interval), handlers_(std::move(handlers))
    {
        fd_ = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
        if (fd_ < 0)
            return;
        arm();
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_, &QSocketNotifier::activated, [this] { onReadable(); });
    }

    ~TimerFd() override { invalidate(); }

    void invalidate() override
    {
        if (notifier_) {
            notifier_->setEnabled(false);
            notifier_->deleteLater(); // we may be inside its signal
            notifier_ = nullptr;
        }
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    bool isValid() const override { return fd_ >= 0; }

private:
    // Armed for the next firing due, not the first: re-armed after the clock
    // was set, a time long past would fire at once, for nothing.
    void arm()
    {
        // The kernel's own period keeps the firings anchored to the first
        // one and folds missed ones into a single expiry.
        itimerspec spec{};
        spec.it_value = toTimespec(std::max(next_, std::chrono::milliseconds(1))); // zero would disarm
        spec.it_interval = toTimespec(interval_);
        timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &spec, nullptr);
    }

    void onReadable()
    {
        if (fd_ < 0)
            return;
        std::uint64_t expirations = 0;
        const ssize_t n = ::read(fd_, &expirations, sizeof expirations);
        if (n < 0 && errno == ECANCELED) {
            arm(); // keep the schedule unless the owner replaces us
            // A copy: the handler may replace (and so destroy) this timer.
            if (auto handler = handlers_.wallClockChanged)
                handler();
            return;
        }
        if (n != sizeof expirations || expirations == 0)
            return;
        next_ += interval_ * std::int64_t(expirations);
        if (auto handler = handlers_.fire)
            handler();
    }

    std::chrono::milliseconds next_; // since the epoch
    std::chrono::milliseconds interval_;
    TimerHandlers handlers_;
    int fd_ = -1;
    QSocketNotifier *notifier_ = nullptr;
};

} // namespace

std::shared_ptr<RepeatingTimer> WallClockTimers::scheduleRepeating(const QDateTime &firstFire,
                                                                   std::chrono::milliseconds interval,
                                                                   TimerHandlers handlers)
{
    return std::make_shared<TimerFd>(firstFire, interval, std::move(handlers));
}

} // namespace platform
