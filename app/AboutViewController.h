#pragma once

#include <QObject>

// The About window's view controller; it only says when its view is there.
class AboutViewController : public QObject {
    Q_OBJECT
public:
    explicit AboutViewController(QObject *parent = nullptr) : QObject(parent) {}
    void viewDidLoad();
};
