#pragma once
// The unread badge: a red disc with the unread total in blue, painted onto the 128 x 128 tile picture.

#include <QImage>
#include <cstdint>

namespace UnreadBadge {

constexpr int kSize = 128;          ///< the tile picture is kSize x kSize
constexpr int kDiscLeft = 20;
constexpr int kDiscTop = 40;
constexpr int kDiscDiameter = 60;
constexpr int kTextLeft = 30;       ///< left end of the number
constexpr int kTextBaseline = 80;
constexpr int kTextPixelSize = 24;

/// A blank (fully transparent) tile picture.
QImage NewPicture();

/// Clears the picture and paints the disc and the number. A picture of the wrong size or format is
/// replaced by a new blank one first, so the caller's picture is always the badge afterwards.
void Paint(QImage& picture, std::int32_t unread);

}  // namespace UnreadBadge
