#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace platform {

// Whether a server-suggested name may be used as a file name in the
// download folder at all.
bool isSafeFileName(const QString &name);
// The name a response suggests for a clip: Content-Disposition's filename*
// or filename, else the address's last path segment; only a safe name ending
// in one of the extensions (any case), otherwise empty.
QString suggestedFilename(const QByteArray &contentDisposition, const QString &url, const QStringList &extensions);
// The temporary files of our downloads in a folder: ".zandor.mpeg.part-XXXXXX"
// and ".zandor.mxf.part-XXXXXX", and no other name.
bool isPartialDownloadName(const QString &name);
// Removes the partial downloads in a folder that no running download holds
// (left by a crash or a power cut); returns how many went.
int removeAbandonedPartialDownloads(const QString &folder);

} // namespace platform
