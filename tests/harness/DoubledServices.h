#pragma once

#include "ClipCheck.h"
#include "CurlHttpClient.h"
#include "Doubles.h"
#include "Folders.h"
#include "LoginItems.h"
#include "MediaAsset.h"
#include "Services.h"

#include <memory>

using namespace platform::doubles;

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
    platform::FfmpegClipChecker clips;
    platform::CurlHttpClient http; // gone before the clips: its thread may be checking one
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
