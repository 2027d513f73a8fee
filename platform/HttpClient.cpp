#include "HttpClient.h"

#include "Output.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <dlfcn.h>
#include <utility>

namespace platform {

namespace {

// Beside the program in the build tree, in the app's library folder once
// installed. Asked on the main thread.
QStringList moduleFolders()
{
    const QString here = QCoreApplication::applicationDirPath();
    return {here, here + QStringLiteral("/" ZU_MODULE_RELDIR)};
}

// The module's entry point, or why it could not be loaded. Any thread.
Result<void *> loadModule(const QStringList &folders, const QString &name, const char *entry)
{
    // Every folder's reason: a wrong module in the first is what the user
    // must hear about, not only that the last one holds none.
    QStringList errors;
    for (const QString &folder : folders) {
        void *module = dlopen(QFile::encodeName(folder + QLatin1Char('/') + name).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            errors << QString::fromLocal8Bit(dlerror());
            continue;
        }
        if (void *found = dlsym(module, entry))
            return found;
        errors << QString::fromLocal8Bit(dlerror());
    }
    return Failure{errors.join(QStringLiteral("; "))};
}

} // namespace

LazyHttpClient::LazyHttpClient() : LazyHttpClient(moduleFolders()) {}

LazyHttpClient::LazyHttpClient(QStringList folders) : folders_(std::move(folders)) {}

// The module stays loaded to the end of the process: the client's worker
// thread and its queued completions run its code.
LazyHttpClient::~LazyHttpClient() = default;

void LazyHttpClient::load()
{
    if (std::exchange(tried_, true))
        return;
    const auto create =
        loadModule(folders_, QStringLiteral("libzandorupdate-https.so"), "zandorupdateCreateHttpClient");
    if (create)
        client_.reset(reinterpret_cast<HttpClient *(*)()>(*create)());
    else
        printLine(QStringLiteral("The HTTPS module could not be loaded: ") + (loadError_ = create.why()), Level::Error);
}

void LazyHttpClient::prepare()
{
    load();
    if (client_)
        client_->prepare();
}

void LazyHttpClient::download(const HttpRequest &request, Progress progress, Completion completion)
{
    load();
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

LazyClipChecker::LazyClipChecker() : folders_(moduleFolders()) {}

void LazyClipChecker::prepare()
{
    std::call_once(started_, [this] {
        loaded_ =
            std::async(std::launch::async, [folders = folders_] {
                const auto entry =
                    loadModule(folders, QStringLiteral("libzandorupdate-clipcheck.so"), "zandorupdateCheckClip");
                return entry ? Result<Check>(reinterpret_cast<Check>(*entry)) : Result<Check>(Failure{entry.why()});
            }).share();
    });
}

Result<> LazyClipChecker::check(const QString &path, const QStringList &formats, const QByteArray &contentType,
                                std::int64_t size)
{
    prepare();
    const Result<Check> &loaded = loaded_.get();
    if (!loaded)
        return Failure{QStringLiteral("The clip check could not be loaded: ") + loaded.why()};
    return (*loaded)(path, formats, contentType, size);
}

} // namespace platform
