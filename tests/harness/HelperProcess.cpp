#include "HelperProcess.h"

#include <QJsonDocument>

HelperProcess::HelperProcess(const QStringList &arguments)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Debian's own Python: the one on PATH may lack the D-Bus modules.
    process_.start(QStringLiteral("/usr/bin/python3"),
                   QStringList{QStringLiteral(ZU_TEST_HARNESS_DIR "/serve.py")} + arguments);
    while (process_.waitForReadyRead(120000) && !process_.canReadLine()) {
    }
    if (process_.canReadLine())
        facts_ = QJsonDocument::fromJson(process_.readLine()).object();
}

HelperProcess::~HelperProcess()
{
    process_.closeWriteChannel();
    if (!process_.waitForFinished(15000)) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}
