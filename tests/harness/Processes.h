#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// Helper processes the tests start themselves and stop again.

// A private D-Bus bus with no service directories, so nothing is started
// behind the test's back.
class PrivateBus {
public:
    explicit PrivateBus(bool system = false);
    ~PrivateBus();
    bool ok() const { return !address_.isEmpty(); }
    QString address() const { return address_; }

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
};

// python3-dbusmock with a template on a private bus, logging every call.
class DBusMock {
public:
    // `parameters`: the template's, as JSON (e.g. the daemon's capabilities).
    DBusMock(const PrivateBus &bus, const QString &templateName, bool system = false,
             const QString &parameters = QString());
    ~DBusMock();
    bool ok() const { return ok_; }
    QString log() const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    bool ok_ = false;
};

// A certificate authority and a server certificate for 127.0.0.1, made with
// openssl for this run.
struct TestCertificates {
    TestCertificates();
    bool ok = false;
    QTemporaryDir dir;
    QString caFile, certFile, keyFile;
    // A second, unrelated authority whose certificates the client must refuse.
    QString strangerCertFile, strangerKeyFile;
};

// nginx in the foreground from a prefix of its own, serving the two clip
// paths to POST behind Basic authentication.
class NewsServer {
public:
    NewsServer(const TestCertificates &certificates, const QString &user, const QString &password);
    ~NewsServer();
    bool ok() const { return port_ > 0; }
    int port() const { return port_; }
    QString url(const QString &path) const;
    // Puts a clip in place on the server.
    void publish(const QString &name, const QByteArray &bytes);
    QString root() const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
};

// A real clip made with ffmpeg for this run: MPEG program stream, or MXF.
struct TestClip {
    explicit TestClip(const QString &format = QStringLiteral("vob"), double seconds = 1);
    bool ok = false;
    QTemporaryDir dir;
    QString path;
    QByteArray bytes;
};

// The test suite's own server for faults nginx will not produce; its bodies
// of 200 are the given clip.
class FaultServer {
public:
    FaultServer(const TestCertificates &certificates, const TestClip &clip);
    ~FaultServer();
    bool ok() const { return port_ > 0; }
    QString url(const QString &path) const;
    // The same server behind a certificate from the unknown authority.
    QString strangerUrl(const QString &path) const;
    QString plainUrl(const QString &path) const;

private:
    QProcess process_;
    int port_ = 0, strangerPort_ = 0, plainPort_ = 0;
};

int freeLoopbackPort();
