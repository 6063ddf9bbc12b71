#pragma once
// The unread badge: a red disc with the unread total in blue, painted onto the 128 x 128 tile picture.
// The geometry is in logical pixels; the picture holds 128 x ratio device pixels, so the badge stays sharp
// on a screen with several device pixels to the point (a Retina screen: ratio 2).

#include <QImage>
#include <cstdint>

namespace UnreadBadge {

constexpr int kSize = 128;          ///< the tile picture is kSize x kSize logical pixels
constexpr int kDiscLeft = 20;
constexpr int kDiscTop = 40;
constexpr int kDiscDiameter = 60;
constexpr int kTextLeft = 30;       ///< left end of the number
constexpr int kTextBaseline = 80;
constexpr int kTextPixelSize = 24;

/// A blank (fully transparent) tile picture at the device pixel ratio.
QImage NewPicture(qreal devicePixelRatio = 1.0);

/// Clears the picture and paints the disc and the number. A picture of the wrong size, ratio or format is
/// replaced by a new blank one first, so the caller's picture is always the badge afterwards.
void Paint(QImage& picture, std::int32_t unread, qreal devicePixelRatio);
/// The same at the application's device pixel ratio (the highest of its screens, which the Dock uses).
void Paint(QImage& picture, std::int32_t unread);

}  // namespace UnreadBadge
