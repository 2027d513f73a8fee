#pragma once

#include "AppDelegate.h"
#include "MainInterface.h"
#include "PlistFormat.h"
#include "Testing.h"

// The real controller and interface in a throw-away home, with doubles for
// the services that would need a person or a desktop.
class AppFixture : public testing::Test {
protected:
    explicit AppFixture(const QString &resources = {}) : services(resources) {}

    void start()
    {
        output = capturedOutput([&] { delegate.applicationDidFinishLaunching(); });
    }
    // The settings file as it is on disk.
    QVariantMap stored() const
    {
        return parsePlistDictionary(readFile(home.settingsFile())).value_or(QVariantMap()).value("appSettings").toMap();
    }
    void writeSettings(const QVariantMap &settings, const QVariantMap &otherRootEntries = {})
    {
        QVariantMap root = otherRootEntries;
        root.insert("appSettings", settings);
        writeFile(home.settingsFile(), toXmlPlist(root));
    }

    TestHome home;
    DoubledServices services;
    AppDelegate delegate;
    MainInterface interface {
        delegate
    };
    std::string output;
};
