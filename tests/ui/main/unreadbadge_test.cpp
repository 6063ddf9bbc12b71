// The badge read back from the picture's pixels: where the disc and the number stand, and that each
// badge starts from a clean picture.
#include <QImage>
#include <QRect>
#include <gtest/gtest.h>

#include "ui/main/UnreadBadge.h"

namespace {

bool IsRed(QRgb p) { return qAlpha(p) == 255 && qRed(p) == 255 && qGreen(p) == 0 && qBlue(p) == 0; }
bool IsBlue(QRgb p) { return qAlpha(p) > 200 && qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60; }
bool IsClear(QRgb p) { return qAlpha(p) == 0; }

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

TEST(UnreadBadge, DiscStandsAt20_40AndIs60Across) {
    QImage pic = UnreadBadge::NewPicture();
    UnreadBadge::Paint(pic, 0);
    ASSERT_EQ(pic.size(), QSize(128, 128));
    // Inside, away from the number: red.
    for (QPoint p : {QPoint(50, 43), QPoint(23, 70), QPoint(50, 97), QPoint(76, 70), QPoint(30, 55), QPoint(70, 90)})
        EXPECT_TRUE(IsRed(pic.pixel(p))) << p.x() << "," << p.y();
    // Just outside its bounding circle, and the rest of the tile: untouched (transparent).
    for (QPoint p : {QPoint(50, 38), QPoint(50, 101), QPoint(18, 70), QPoint(82, 70), QPoint(22, 42),
                     QPoint(0, 0), QPoint(127, 127), QPoint(100, 20), QPoint(64, 10)})
        EXPECT_TRUE(IsClear(pic.pixel(p))) << p.x() << "," << p.y();
}

struct NumberCase { int unread; int minWidth; };
class UnreadBadgeNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(UnreadBadgeNumber, BlueBoldNumberStartsAtX30OnBaseline80) {
    const NumberCase c = GetParam();
    QImage pic = UnreadBadge::NewPicture();
    UnreadBadge::Paint(pic, c.unread);
    const QRect box = BlueBox(pic);
    ASSERT_FALSE(box.isNull()) << "no number drawn for " << c.unread;
    EXPECT_GE(box.left(), 30);          // the left end, plus the glyph's own small bearing
    EXPECT_LE(box.left(), 34);
    EXPECT_GE(box.bottom(), 78);        // digits sit on the baseline y = 80 (last row 79)
    EXPECT_LE(box.bottom(), 80);
    EXPECT_GE(box.height(), 15);        // 24 px text: digits about 17 px high
    EXPECT_LE(box.height(), 21);
    EXPECT_GE(box.width(), c.minWidth);
}

INSTANTIATE_TEST_SUITE_P(Numbers, UnreadBadgeNumber,
                         ::testing::Values(NumberCase{0, 8}, NumberCase{7, 8}, NumberCase{42, 22},
                                           NumberCase{999, 36}, NumberCase{8888, 50}));

TEST(UnreadBadge, FourDigitsThenOneLeaveNoOldDigits) {
    QImage pic = UnreadBadge::NewPicture();
    UnreadBadge::Paint(pic, 8888);
    const QRect wide = BlueBox(pic);
    ASSERT_GT(wide.right(), 82) << "a four-digit number reaches past the disc";

    UnreadBadge::Paint(pic, 1);
    const QRect narrow = BlueBox(pic);
    ASSERT_FALSE(narrow.isNull());
    EXPECT_LT(narrow.right(), 48);
    // Nothing at all outside the disc: the earlier digits are gone, not just covered where the disc is.
    int leftovers = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            if (!InsideDisc(x, y, 1.5) && !IsClear(pic.pixel(x, y))) ++leftovers;
    EXPECT_EQ(leftovers, 0);
    // Inside the disc, where the later digits of "8888" stood, the disc is plain red again.
    int notRed = 0;
    for (int y = wide.top(); y <= wide.bottom(); ++y)
        for (int x = narrow.right() + 3; x <= wide.right(); ++x)
            if (InsideDisc(x, y, -1.5) && !IsRed(pic.pixel(x, y))) ++notRed;
    EXPECT_EQ(notRed, 0);
}

TEST(UnreadBadge, AMissingOrWrongPictureIsReplaced) {
    for (QImage pic : {QImage(), QImage(64, 64, QImage::Format_RGB32), QImage(128, 128, QImage::Format_Mono)}) {
        UnreadBadge::Paint(pic, 3);
        EXPECT_EQ(pic.size(), QSize(128, 128));
        EXPECT_TRUE(pic.hasAlphaChannel());
        EXPECT_TRUE(IsRed(pic.pixel(50, 43)));
        EXPECT_TRUE(IsClear(pic.pixel(5, 5)));
    }
}
