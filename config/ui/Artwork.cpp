#include "Artwork.h"

namespace MW {

QPixmap loadBanner() {
    return QPixmap(QStringLiteral(":/morrowick/banner.png"), "PNG");
}

QIcon appIcon() {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/morrowick/morrowick-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace MW
