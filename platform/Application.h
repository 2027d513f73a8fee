#pragma once

#include <QIcon>

namespace platform {

// The running application as a whole.
class Application {
public:
    virtual ~Application() = default;
    virtual void setIcon(const QIcon &icon) = 0;
    // Bring our windows in front of other applications' windows.
    virtual void activateIgnoringOtherApps() = 0;
    virtual void terminate() = 0;
};

class QtApplication final : public Application {
public:
    void setIcon(const QIcon &icon) override;
    void activateIgnoringOtherApps() override;
    void terminate() override;
};

} // namespace platform
