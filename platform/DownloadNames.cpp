#include "DownloadNames.h"

#include "Descriptor.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// RFC 5987 ext-value: charset'language'percent-encoded.
QString decodeExtValue(const QByteArray &value)
{
    const int first = value.indexOf('\'');
    const int second = first < 0 ? -1 : value.indexOf('\'', first + 1);
    if (second < 0)
        return {};
    const QByteArray charset = value.left(first).toLower();
    const QByteArray decoded = QByteArray::fromPercentEncoding(value.mid(second + 1));
    if (charset == "utf-8")
        return QString::fromUtf8(decoded);
    if (charset == "iso-8859-1")
        return QString::fromLatin1(decoded);
    return {};
}

// Splits the parameters of a Content-Disposition value, honouring quotes.
std::vector<std::pair<QByteArray, QByteArray>> dispositionParameters(const QByteArray &header)
{
    std::vector<std::pair<QByteArray, QByteArray>> params;
    qsizetype i = header.indexOf(';');
    if (i < 0)
        return params;
    const qsizetype n = header.size();
    while (i < n) {
        ++i; // past ';'
        while (i < n && (header[i] == ' ' || header[i] == '\t'))
            ++i;
        qsizetype eq = i;
        while (eq < n && header[eq] != '=' && header[eq] != ';')
            ++eq;
        const QByteArray name = header.mid(i, eq - i).trimmed().toLower();
        if (eq >= n || header[eq] == ';') {
            i = eq;
            continue;
        }
        qsizetype j = eq + 1;
        while (j < n && (header[j] == ' ' || header[j] == '\t'))
            ++j;
        QByteArray value;
        if (j < n && header[j] == '"') {
            ++j;
            while (j < n && header[j] != '"') {
                if (header[j] == '\\' && j + 1 < n)
                    ++j;
                value += header[j++];
            }
            while (j < n && header[j] != ';')
                ++j;
        } else {
            const qsizetype end = header.indexOf(';', j);
            value = header.mid(j, (end < 0 ? n : end) - j).trimmed();
            j = end < 0 ? n : end;
        }
        params.emplace_back(name, value);
        i = j;
    }
    return params;
}

QString lastComponent(const QString &name)
{
    return name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
}

// Without control and formatting characters: a right-to-left override would
// make "clip\u202Egpm.exe" read as another name than it is.
QString withoutControls(const QString &name)
{
    QString clean;
    clean.reserve(name.size());
    for (const QChar c : name)
        if (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format)
            clean += c;
    return clean;
}

} // namespace

bool isSafeFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.startsWith(QLatin1Char('.')) || name.toUtf8().size() > 255)
        return false;
    for (const QChar c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return true;
}

QString suggestedFilename(const QByteArray &contentDisposition, const QString &url, const QStringList &extensions)
{
    QString plain, extended;
    for (const auto &[name, value] : dispositionParameters(contentDisposition)) {
        if (name == "filename*" && extended.isEmpty())
            extended = lastComponent(withoutControls(decodeExtValue(value)));
        else if (name == "filename" && plain.isEmpty())
            plain = lastComponent(withoutControls(QString::fromUtf8(value)));
    }
    const auto isClip = [&](const QString &candidate) {
        return std::any_of(extensions.cbegin(), extensions.cend(), [&](const QString &extension) {
            return candidate.endsWith(QLatin1Char('.') + extension, Qt::CaseInsensitive);
        });
    };
    for (const QString &candidate : {extended, plain, withoutControls(QUrl(url).fileName())})
        if (isSafeFileName(candidate) && isClip(candidate))
            return candidate;
    return {};
}

bool isPartialDownloadName(const QString &name)
{
    // Exactly the names createTemporary makes: mkostemp's six letters or digits.
    static const QRegularExpression pattern(QStringLiteral("^\\.zandor\\.(mpeg|mxf)\\.part-[A-Za-z0-9]{6}$"));
    return pattern.match(name).hasMatch();
}

int removeAbandonedPartialDownloads(const QString &folder)
{
    int removed = 0;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (!isPartialDownloadName(name))
            continue;
        const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
        // A running download holds a lock on its file; only ours are removed.
        const Descriptor fd(::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
        struct stat st {};
        if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && ::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace platform
