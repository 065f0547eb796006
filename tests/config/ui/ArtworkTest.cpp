// The artwork compiled into the program.

#include "Artwork.h"

#include <QImage>
#include <gtest/gtest.h>

namespace MW {
namespace {

TEST(Artwork, TheBannerIs440By56AndOpaque) {
    const QPixmap banner = loadBanner();
    ASSERT_FALSE(banner.isNull());
    EXPECT_EQ(banner.size(), QSize(440, 56));
    EXPECT_FALSE(banner.hasAlphaChannel());
}

TEST(Artwork, TheIconComesInTheUsualSizes) {
    const QIcon icon = appIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
        // Drawn, not empty: the centre of every size has colour.
        const QImage image = icon.pixmap(size, size).toImage();
        EXPECT_GT(qAlpha(image.pixel(size / 2, size / 2)), 0) << size;
    }
}

} // namespace
} // namespace MW
