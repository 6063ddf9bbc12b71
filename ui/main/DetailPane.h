#pragma once
// The detail pane of the selected feed: its title, URL, home page and HTTP date as plain text, its icon
// fetched over HTTP and fitted into the 120 by 120 box, and the two links.

#include <QObject>
#include <QString>
#include <QVector>
#include <cstdint>

#include "feeds/feed.h"

class QGroupBox;
class QImage;
class QLabel;
class QWidget;
class IconCanvas;
class IconDownloader;
class LinkText;

class DetailPane : public QObject {
    Q_OBJECT
public:
    /// Builds the pane's controls on content, at their places in the window.
    explicit DetailPane(QWidget* content);

    QLabel* stTitle = nullptr;
    LinkText* stURL = nullptr;
    LinkText* stHomepage = nullptr;
    QLabel* stHTTPDate = nullptr;
    IconCanvas* Canvas2 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    IconDownloader* TCPSocket1 = nullptr;

    /// The record's four texts, exactly as stored.
    void Show(const feed& record);
    /// Blanks the icon box and drops a fetch under way, so no earlier feed's icon lands in it.
    void ClearIcon();
    /// Starts fetching the icon (a site-relative address resolves against the home page); the box stays
    /// blank when there is none to fetch.
    void FetchIcon(const QString& iconText, const QString& homePage);
    /// Decodes a fetched icon away from the window's thread, then draws it fitted and centred (unless another
    /// feed's icon was asked for meanwhile). Anything that is not one of the usual icon formats, or larger than
    /// kLargestIcon either way, leaves the box blank.
    void IconArrived(int httpStatus, const QString& file);
    static constexpr int kLargestIcon = 4096;
    /// Opens an http or https address with the user's browser; anything else only beeps.
    void OpenLink(const QString& text);

    /// The size an icon is drawn at: [unused, width, height], fitted into the box, never enlarged.
    static QVector<std::int32_t> GetImageSize(const QImage& pic);

signals:
    void urlPressed();
    void homePagePressed();

private:
    int decodes_ = 0;   ///< counts the icons asked for: a decode that finds it moved on is dropped
};
