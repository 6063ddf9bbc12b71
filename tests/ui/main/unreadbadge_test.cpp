// The badge read back from the picture's pixels at device pixel ratios 1 and 2: the disc and the number stand
// at the same logical places, with twice the pixels at ratio 2, and each badge starts from a clean picture.
#include <QImage>
#include <QRect>
#include <gtest/gtest.h>

#include "ui/main/UnreadBadge.h"

namespace {

const qreal kRatios[] = {1.0, 2.0};

bool IsRed(QRgb p) { return qAlpha(p) == 255 && qRed(p) == 255 && qGreen(p) == 0 && qBlue(p) == 0; }
bool IsBlue(QRgb p) { return qAlpha(p) > 200 && qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60; }

/// Bounding box of the strongly blue pixels (the number), in device pixels.
QRect BlueBox(const QImage& img) {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (IsBlue(img.pixel(x, y))) box |= QRect(x, y, 1, 1);
    return box;
}

/// The device pixel x,y lies inside the disc of diameter 60 at 20,40 (centre 50,70), with a margin in logical
/// pixels for the smoothed edge.
bool InsideDisc(int x, int y, qreal ratio, double margin) {
    const double dx = (x + 0.5) / ratio - 50, dy = (y + 0.5) / ratio - 70;
    return dx * dx + dy * dy <= (30 + margin) * (30 + margin);
}

}  // namespace

TEST(UnreadBadge, BlueBoldNumberStartsAtX30OnBaseline80AtEveryRatio) {
    for (qreal ratio : kRatios)
        for (auto [unread, minWidth] : {std::pair{0, 8}, {7, 8}, {42, 22}, {999, 36}, {8888, 50}}) {
            SCOPED_TRACE(testing::Message() << "ratio " << ratio << ", " << unread);
            QImage pic;   // Paint makes a missing picture first
            UnreadBadge::Paint(pic, unread, ratio);
            ASSERT_EQ(pic.size(), QSize(128, 128) * ratio);
            EXPECT_EQ(pic.devicePixelRatio(), ratio);
            const QRect box = BlueBox(pic);
            ASSERT_FALSE(box.isNull());
            // In logical pixels; the left end allows for the glyph's bearing, the height is that of 24 px text.
            const double left = box.left() / ratio, bottom = (box.bottom() + 1) / ratio;
            const double height = box.height() / ratio, width = box.width() / ratio;
            EXPECT_TRUE(left >= 30 && left <= 34) << left;
            EXPECT_TRUE(bottom >= 79 && bottom <= 81) << bottom;
            EXPECT_TRUE(height >= 15 && height <= 21) << height;
            EXPECT_GE(width, minWidth);
        }
}

// A red disc at 20,40, 60 across, on a clear tile; a narrower number leaves nothing of a wider one, and a
// picture made at another ratio is replaced.
TEST(UnreadBadge, DiscStandsAt20_40AndFourDigitsThenOneLeaveNoOldDigits) {
    for (qreal ratio : kRatios) {
        SCOPED_TRACE(testing::Message() << "ratio " << ratio);
        QImage pic = UnreadBadge::NewPicture();
        UnreadBadge::Paint(pic, 8888, ratio);
        const QRect wide = BlueBox(pic);
        ASSERT_GT(wide.right() / ratio, 82) << "a four-digit number reaches past the disc";
        UnreadBadge::Paint(pic, 1, ratio);
        ASSERT_EQ(pic.size(), QSize(128, 128) * ratio);
        const QRect digit = BlueBox(pic).adjusted(-2, -2, 2, 2);   // with its smoothed edge
        ASSERT_LT(digit.right() / ratio, 50);
        int outsideNotClear = 0, insideNotRed = 0;
        for (int y = 0; y < pic.height(); ++y)
            for (int x = 0; x < pic.width(); ++x) {
                if (!InsideDisc(x, y, ratio, 1.5)) outsideNotClear += qAlpha(pic.pixel(x, y)) != 0;
                else if (InsideDisc(x, y, ratio, -1.5) && !digit.contains(x, y))
                    insideNotRed += !IsRed(pic.pixel(x, y));
            }
        EXPECT_EQ(outsideNotClear, 0);
        EXPECT_EQ(insideNotRed, 0);
    }
}
