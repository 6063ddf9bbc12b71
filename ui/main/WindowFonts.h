#pragma once
// The windows are laid out in pixels, so their text sizes are pixel sizes too: every caption keeps inside
// its fixed box whatever the screen's resolution.

#include <QApplication>
#include <QFont>

namespace WindowFonts {

inline QFont Pixels(int pixels, bool bold = false) {
    QFont f = QApplication::font();
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

}  // namespace WindowFonts
