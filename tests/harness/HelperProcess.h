#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QStringList>

// One of the suite's helper processes (harness/serve.py: a private bus, a
// mock D-Bus service, or the HTTPS servers with their clips). It tells its
// facts as JSON when ready and runs until this object goes.
class HelperProcess {
public:
    explicit HelperProcess(const QStringList &arguments);
    ~HelperProcess();
    bool ok() const { return !facts_.isEmpty(); }
    QString operator[](const QString &fact) const { return facts_.value(fact).toString(); }

private:
    QProcess process_;
    QJsonObject facts_;
};
