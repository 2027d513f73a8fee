#include "Doubles.h"

namespace platform::doubles {

void FakeStatusItem::setImage(const QIcon &image)
{
    // Tell the named images apart by what they draw.
    QString name;
    for (const char *candidate : {"statusIcon", "statusWait", "AppIcon"})
        if (!image.isNull() &&
            image.pixmap(16).toImage() == namedImage(QString::fromLatin1(candidate)).pixmap(16).toImage())
            name = QString::fromLatin1(candidate);
    images.push_back(name);
    masks.push_back(image.isMask());
}

} // namespace platform::doubles
