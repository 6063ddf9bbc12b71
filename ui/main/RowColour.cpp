#include "ui/main/RowColour.h"

QColor RowTextColour(const QString& unreadText, const QString& subscribedText) {
    if (subscribedText == QLatin1String("0")) return QColor(100, 100, 100);
    if (unreadText != QLatin1String("0") && !unreadText.isEmpty()) return QColor(255, 0, 0);
    return QColor();
}
