#pragma once

#include <QJsonObject>
#include <QStringList>
#include <cstdio>
#include <sys/types.h>

// One of the suite's helper processes (harness/serve.py: a private bus, a
// mock D-Bus service, or the HTTPS servers with their clips). It tells its
// facts as JSON when ready and runs until this object goes (its standard
// input closes).
class HelperProcess {
public:
    explicit HelperProcess(const QStringList &arguments);
    ~HelperProcess();
    HelperProcess(const HelperProcess &) = delete;
    HelperProcess &operator=(const HelperProcess &) = delete;
    bool ok() const { return !facts_.isEmpty(); }
    QString operator[](const QString &fact) const { return facts_.value(fact).toString(); }

private:
    pid_t pid_ = -1;
    int input_ = -1;              // its standard input
    std::FILE *output_ = nullptr; // its standard output, open while it runs
    QJsonObject facts_;
};
