// The badge read back from the picture's pixels: where the disc and the number stand, and that each
// badge starts from a clean picture.
#include <QImage>
#include <QRect>
#include <gtest/gtest.h>

#include "ui/main/UnreadBadge.h"

namespace {

bool IsRed(QRgb p) { return qAlpha(p) == 255 && qRed(p) == 255 && qGreen(p) == 0 && qBlue(p) == 0; }
bool IsBlue(QRgb p) { return qAlpha(p) > 200 && qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60; }

/// Bounding box of the strongly blue pixels (the number).
QRect BlueBox(const QImage& img) {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (IsBlue(img.pixel(x, y))) box |= QRect(x, y, 1, 1);
    return box;
}

/// Inside the disc of diameter 60 at 20,40 (centre 50,70), with a margin for the smoothed edge.
bool InsideDisc(int x, int y, double margin) {
    const double dx = x + 0.5 - 50, dy = y + 0.5 - 70;
    return dx * dx + dy * dy <= (30 + margin) * (30 + margin);
}

}  // namespace

TEST(UnreadBadge, BlueBoldNumberStartsAtX30OnBaseline80) {
    for (auto [unread, minWidth] : {std::pair{0, 8}, {7, 8}, {42, 22}, {999, 36}, {8888, 50}}) {
        QImage pic;   // Paint makes a missing picture first
        UnreadBadge::Paint(pic, unread);
        const QRect box = BlueBox(pic);
        ASSERT_FALSE(box.isNull()) << unread;
        EXPECT_TRUE(box.left() >= 30 && box.left() <= 34) << unread << ": " << box.left();   // plus the glyph's bearing
        EXPECT_TRUE(box.bottom() >= 78 && box.bottom() <= 80) << unread << ": " << box.bottom();
        EXPECT_TRUE(box.height() >= 15 && box.height() <= 21) << unread << ": " << box.height();   // 24 px text
        EXPECT_GE(box.width(), minWidth) << unread;
    }
}

// A red disc at 20,40, 60 across, on a clear tile; a narrower number leaves nothing of a wider one.
TEST(UnreadBadge, DiscStandsAt20_40AndFourDigitsThenOneLeaveNoOldDigits) {
    QImage pic = UnreadBadge::NewPicture();
    UnreadBadge::Paint(pic, 8888);
    const QRect wide = BlueBox(pic);
    ASSERT_GT(wide.right(), 82) << "a four-digit number reaches past the disc";
    UnreadBadge::Paint(pic, 1);
    const QRect digit = BlueBox(pic).adjusted(-2, -2, 2, 2);   // with its smoothed edge
    ASSERT_LT(digit.right(), 50);
    int outsideNotClear = 0, insideNotRed = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            if (!InsideDisc(x, y, 1.5)) outsideNotClear += qAlpha(pic.pixel(x, y)) != 0;
            else if (InsideDisc(x, y, -1.5) && !digit.contains(x, y)) insideNotRed += !IsRed(pic.pixel(x, y));
        }
    EXPECT_EQ(outsideNotClear, 0);
    EXPECT_EQ(insideNotRed, 0);
}
