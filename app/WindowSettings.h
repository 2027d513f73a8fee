#pragma once

#include <QObject>

// The Settings window's controller. It adds nothing: AppDelegate drives the
// window.
class WindowSettings : public QObject {
    Q_OBJECT
public:
    explicit WindowSettings(QObject *parent = nullptr) : QObject(parent) {}
    void windowDidLoad() {}
};
