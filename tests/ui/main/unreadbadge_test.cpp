// The badge as drawn: the red disc with the number in blue, kept as pictures (tests/ui/golden) at device pixel
// ratios 1 and 2, and what is left of the picture it is painted over.
#include <QImage>
#include <gtest/gtest.h>

#include "tests/support/gui/GuiTest.h"
#include "ui/main/UnreadBadge.h"

TEST(UnreadBadge, LooksAsKeptAtEveryRatioOverWhateverPictureItIsGiven) {
    for (const auto& [unread, ratio] : {std::pair{0, 1.0}, {7, 1.0}, {42, 2.0}, {8888, 1.0}, {1, 2.0}}) {
        SCOPED_TRACE(testing::Message() << unread << " at ratio " << ratio);
        const QString name = QStringLiteral("badge-%1-at-%2").arg(unread).arg(ratio);
        QImage fresh = UnreadBadge::NewPicture(ratio), blank(QSize(128, 128) * ratio, QImage::Format_ARGB32_Premultiplied);
        blank.fill(Qt::transparent);
        EXPECT_EQ(fresh, blank) << "a new picture is blank";
        UnreadBadge::Paint(fresh, unread, ratio);
        EXPECT_EQ(fresh.devicePixelRatio(), ratio);
        EXPECT_TRUE(LooksAsKept(fresh, name));
        // Over a wider number, a picture of no size, one of another ratio or another format: the same badge.
        QImage wide, other = UnreadBadge::NewPicture(3 - ratio), rgb(QSize(128, 128) * ratio, QImage::Format_RGB32);
        UnreadBadge::Paint(wide, 88888888, ratio);
        rgb.setDevicePixelRatio(ratio);
        for (QImage* over : {&wide, &other, &rgb}) {
            UnreadBadge::Paint(*over, unread, ratio);
            EXPECT_EQ(*over, fresh);
        }
    }
}
