#include "Processes.h"

#include "TestHome.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <QUuid>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

// One of the servers' shared configuration files, its @PLACEHOLDERS@ filled.
QByteArray fromTemplate(const QString &name, const std::vector<std::pair<const char *, QString>> &values)
{
    QString text = QString::fromUtf8(readFile(QStringLiteral(ZU_TEST_SERVERS_DIR "/") + name));
    for (const auto &[placeholder, value] : values)
        text.replace(QLatin1String(placeholder), value);
    return text.toUtf8();
}

bool run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return false;
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

bool portAnswers(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

bool waitFor(const std::function<bool()> &ready, int ms = 15000)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (ready())
            return true;
        QThread::msleep(20);
    }
    return false;
}

} // namespace

int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

PrivateBus::PrivateBus(bool system)
{
    const QString config = dir_.filePath(QStringLiteral("bus.conf"));
    writeFile(config, fromTemplate(QStringLiteral("bus.conf"),
                                   {{"@TYPE@", system ? QStringLiteral("system") : QStringLiteral("session")},
                                    {"@SOCKET@", dir_.filePath(QStringLiteral("bus"))}}));
    daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                                                  QStringLiteral("--print-address")});
    if (!daemon_.waitForStarted(5000) || !daemon_.waitForReadyRead(5000))
        return;
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    stop(daemon_);
}

DBusMock::DBusMock(const PrivateBus &bus, const QString &templateName, bool system, const QString &parameters)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(system ? QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS") : QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       bus.address());
    process_.setProcessEnvironment(environment);
    QStringList arguments{QStringLiteral("-m"), QStringLiteral("dbusmock")};
    if (system)
        arguments << QStringLiteral("--system");
    arguments << QStringLiteral("--template") << templateName << QStringLiteral("-l")
              << dir_.filePath(QStringLiteral("calls.log"));
    if (!parameters.isEmpty())
        arguments << QStringLiteral("-p") << parameters;
    // Debian's own Python: the one on PATH may lack the D-Bus modules.
    process_.start(QStringLiteral("/usr/bin/python3"), arguments);
    const QString service = templateName == QLatin1String("logind") ? QStringLiteral("org.freedesktop.login1")
                                                                    : QStringLiteral("org.freedesktop.Notifications");
    auto connection = QDBusConnection::connectToBus(bus.address(), QUuid::createUuid().toString());
    ok_ = process_.waitForStarted(5000) &&
          waitFor([&] { return connection.interface() && connection.interface()->isServiceRegistered(service); });
    QDBusConnection::disconnectFromBus(connection.name());
}

DBusMock::~DBusMock()
{
    stop(process_);
}

QString DBusMock::log() const
{
    return QString::fromUtf8(readFile(dir_.filePath(QStringLiteral("calls.log"))));
}

TestCertificates::TestCertificates()
{
    auto path = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    caFile = path("ca.pem");
    certFile = path("server.pem");
    keyFile = path("server.key");
    strangerCertFile = path("stranger.pem");
    strangerKeyFile = path("stranger.key");
    ok = run(QStringLiteral(ZU_TEST_SERVERS_DIR "/make-certificates"), {dir.path()});
}

NewsServer::NewsServer(const TestCertificates &certificates, const QString &user, const QString &password)
{
    if (!certificates.ok)
        return;
    const QString root = dir_.path();
    QDir(root).mkpath(QStringLiteral("www/zandor"));
    QDir(root).mkpath(QStringLiteral("tmp"));
    QByteArray hash;
    if (!run(QStringLiteral("openssl"), {"passwd", "-apr1", password}, &hash))
        return;
    writeFile(root + QStringLiteral("/htpasswd"), user.toUtf8() + ':' + hash.trimmed() + '\n');
    const int port = freeLoopbackPort();
    writeFile(root + QStringLiteral("/nginx.conf"),
              fromTemplate(QStringLiteral("nginx.conf"), {{"@ROOT@", root},
                                                          {"@PORT@", QString::number(port)},
                                                          {"@CERT@", certificates.certFile},
                                                          {"@KEY@", certificates.keyFile}}));
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("/usr/sbin/nginx"),
                   {"-p", root, "-e", root + QStringLiteral("/error.log"), "-c", root + QStringLiteral("/nginx.conf")});
    if (process_.waitForStarted(5000) &&
        waitFor([&] { return process_.state() == QProcess::Running && portAnswers(port); }))
        port_ = port;
}

NewsServer::~NewsServer()
{
    stop(process_);
}

QString NewsServer::url(const QString &path) const
{
    return QStringLiteral("https://127.0.0.1:%1%2").arg(port_).arg(path);
}

QString NewsServer::root() const
{
    return dir_.filePath(QStringLiteral("www"));
}

void NewsServer::publish(const QString &name, const QByteArray &bytes)
{
    writeFile(root() + QStringLiteral("/zandor/") + name, bytes);
}

TestClip::TestClip(const QString &format, double seconds)
{
    path = dir.filePath(QStringLiteral("clip.") + format);
    const QString length = QString::number(seconds);
    const QString audio = format == QLatin1String("mxf") ? QStringLiteral("pcm_s16le") : QStringLiteral("mp2");
    ok = run(QStringLiteral("ffmpeg"),
             {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=" + length, "-f",
              "lavfi", "-i", "sine=sample_rate=48000:duration=" + length, "-c:v", "mpeg2video", "-c:a", audio, "-f",
              format, path});
    bytes = readFile(path);
    ok = ok && !bytes.isEmpty();
}

FaultServer::FaultServer(const TestCertificates &certificates, const TestClip &clip)
{
    if (!certificates.ok || !clip.ok)
        return;
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral(ZU_TEST_SERVERS_DIR "/fault_server.py"), certificates.certFile, certificates.keyFile,
                    certificates.strangerCertFile, certificates.strangerKeyFile, clip.path});
    if (!process_.waitForStarted(5000) || !process_.waitForReadyRead(15000))
        return;
    const QStringList words = QString::fromUtf8(process_.readLine()).split(QLatin1Char(' '));
    if (words.size() == 4 && words[0] == QLatin1String("PORTS")) {
        port_ = words[1].toInt();
        strangerPort_ = words[2].toInt();
        plainPort_ = words[3].trimmed().toInt();
    }
}

FaultServer::~FaultServer()
{
    process_.closeWriteChannel();
    stop(process_);
}

QString FaultServer::url(const QString &path) const
{
    return QStringLiteral("https://127.0.0.1:%1%2").arg(port_).arg(path);
}

QString FaultServer::strangerUrl(const QString &path) const
{
    return QStringLiteral("https://127.0.0.1:%1%2").arg(strangerPort_).arg(path);
}

QString FaultServer::plainUrl(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(plainPort_).arg(path);
}
