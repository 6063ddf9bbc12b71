#pragma once
// The colour of a feed list row's text, decided from the row's texts alone.

#include <QColor>
#include <QString>

/// Grey (100, 100, 100) for an unsubscribed feed (subscribed text "0"), else red (255, 0, 0) when the unread
/// text is neither "0" nor empty, else an invalid colour: the list's own. Texts are compared, not numbers.
QColor RowTextColour(const QString& unreadText, const QString& subscribedText);
