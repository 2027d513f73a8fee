#include "HttpClient.h"

#include "Output.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <dlfcn.h>

namespace platform {

namespace {

// Beside the program in the build tree, in the app's library folder once installed.
QStringList moduleCandidates()
{
    const QString name = QStringLiteral("libzandorupdate-https.so");
    return {QCoreApplication::applicationDirPath() + QLatin1Char('/') + name,
            QCoreApplication::applicationDirPath() + QStringLiteral("/" ZU_MODULE_RELDIR "/") + name};
}

} // namespace

LazyHttpClient::LazyHttpClient() = default;

// The module stays loaded to the end of the process: the client's worker
// thread and its queued completions run its code.
LazyHttpClient::~LazyHttpClient() = default;

void LazyHttpClient::download(const HttpRequest &request, Progress progress, Completion completion)
{
    if (!tried_) {
        tried_ = true;
        for (const QString &path : moduleCandidates()) {
            void *module = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
            if (!module) {
                loadError_ = QString::fromLocal8Bit(dlerror());
                continue;
            }
            using Create = HttpClient *(*)();
            if (auto create = reinterpret_cast<Create>(dlsym(module, "zandorupdateCreateHttpClient"))) {
                client_.reset(create());
                break;
            }
        }
        if (!client_)
            printLine(QStringLiteral("The HTTPS module could not be loaded: ") + loadError_, Level::Error);
    }
    if (client_)
        return client_->download(request, std::move(progress), std::move(completion));
    // As a request without any response, told on the main thread as always.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [completion = std::move(completion), error = loadError_] {
            completion(HttpResult{std::nullopt, error, {}});
        },
        Qt::QueuedConnection);
}

// Asked only from a download's arrived step, so the module is loaded by then.
Result<> LazyHttpClient::checkClip(const QString &path, const QStringList &formats, const QByteArray &contentType,
                                   std::int64_t size) const
{
    if (!client_)
        return Failure{loadError_};
    return client_->checkClip(path, formats, contentType, size);
}

} // namespace platform
