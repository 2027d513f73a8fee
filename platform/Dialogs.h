#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <vector>

struct ca_context;

namespace platform {

// What a modal alert returns for its first button; the next buttons follow.
inline constexpr int kAlertFirstButton = 1000;
// Returned when the alert ended some other way (closed, Escape without a
// matching button).
inline constexpr int kAlertAborted = -1000;

struct AlertSpec {
    QString messageText;     // the bold headline
    QString informativeText; // the smaller body
    QStringList buttons;     // in order; the first is the default button
    // A single-line edit below the texts, pre-filled with this text.
    std::optional<QString> accessoryText;
};

struct AlertOutcome {
    int response = kAlertAborted;
    QString accessoryText; // the edit's text when the alert ended
};

// Application-modal message boxes that block their caller until answered.
class Alerts {
public:
    virtual ~Alerts() = default;
    virtual AlertOutcome runModal(const AlertSpec &spec) = 0;
};

class QtAlerts final : public Alerts {
public:
    AlertOutcome runModal(const AlertSpec &spec) override;
};

// The sound theme's alert; asynchronous, silently nothing without a sound server.
class AlertSound {
public:
    virtual ~AlertSound() = default;
    virtual void playAlert() = 0;
};

class CanberraAlertSound final : public AlertSound {
public:
    CanberraAlertSound();
    ~CanberraAlertSound() override;
    void playAlert() override;
    // The sound theme's notification sound, for servers that play none.
    void playNotificationSound();

private:
    void play(const char *eventId, const char *description);
    struct Library;
    const Library *library_ = nullptr;
    ::ca_context *context_ = nullptr;
    bool triedOpen_ = false;
};

// A file or folder chooser.
struct ChooserOptions {
    QString title;
    bool allowsMultipleSelection = false;
    bool canChooseDirectories = false;
    bool canChooseFiles = true;
    bool canCreateDirectories = false;
    QString directory; // where it opens; empty: the chooser's own choice
};

inline constexpr int kChooserOK = 1;
inline constexpr int kChooserCancel = 0;

struct ChooserOutcome {
    int result = kChooserCancel;
    std::vector<QUrl> urls;
};

class FileChooser {
public:
    virtual ~FileChooser() = default;
    virtual ChooserOutcome runModal(const ChooserOptions &options) = 0;
};

class QtFileChooser final : public FileChooser {
public:
    ChooserOutcome runModal(const ChooserOptions &options) override;
};

// Opens an address with the user's default application for it.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual bool open(const QUrl &url) = 0;
};

class DesktopUrlOpener final : public UrlOpener {
public:
    bool open(const QUrl &url) override;
};

} // namespace platform
