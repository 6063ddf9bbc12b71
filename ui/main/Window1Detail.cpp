// The detail pane of the selected feed: its texts, the icon fetch and the links.
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QUrl>
#include <cmath>

#include "app/App.h"
#include "feeds/feed.h"
#include "platform/Folders.h"
#include "platform/IconDownloader.h"
#include "ui/main/IconCanvas.h"
#include "ui/main/Window1.h"

namespace {

constexpr int kIconBox = 120;

// The browser stores some icon URLs relative to the feed's site ("/images/rss/badge.gif").
QUrl IconUrl(const QString& iconText, const QString& homePage) {
    QUrl icon(iconText.trimmed(), QUrl::TolerantMode);
    if (icon.isRelative()) {
        const QUrl base(homePage.trimmed(), QUrl::TolerantMode);
        if (!base.isValid() || base.isRelative()) return {};
        icon = base.resolved(icon);
    }
    const QString scheme = icon.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return {};
    return icon;
}

// The file is chosen by the URL's text alone, in this order.
QString TempIconFile(const QString& url) {
    if (url.contains(QLatin1String(".jpg"), Qt::CaseInsensitive)) return QStringLiteral("tmp.jpg");
    if (url.contains(QLatin1String(".gif"), Qt::CaseInsensitive)) return QStringLiteral("tmp.gif");
    if (url.contains(QLatin1String("png"), Qt::CaseInsensitive)) return QStringLiteral("tmp.png");
    return {};
}

void OpenLink(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::TolerantMode);
    // The placeholder texts and empty fields are not addresses; only absolute URLs go to the browser.
    if (url.isValid() && !url.isRelative()) app().seams.openUrl(url);
}

}  // namespace

void Window1::ListBox1_Change() {
    const int row = ListIndex();
    if (row < 0) return;

    feed record;
    record.ID = Cell(row, 3).toStdString();
    if (app().db) record.Load(*app().db);
    stTitle->setText(QString::fromStdString(record.Title));
    stURL->setText(QString::fromStdString(record.URL));
    stHomepage->setText(QString::fromStdString(record.HomePage));
    stHTTPDate->setText(QString::fromStdString(record.HTTPDate));

    const QString iconText = Cell(row, 5);
    Canvas2->Clear();
    TCPSocket1->Cancel();   // the previous feed's icon must not land in this feed's box
    if (iconText.isEmpty()) return;

    const QUrl icon = IconUrl(iconText, QString::fromStdString(record.HomePage));
    if (icon.isEmpty()) return;
    const QString file = TempIconFile(icon.toString());
    if (file.isEmpty()) return;
    TCPSocket1->Get(icon, QDir(Folders::CacheFolder()).filePath(file));
}

void Window1::TCPSocket1_DownloadComplete(const QString&, int httpStatus, const QString& file) {
    if (httpStatus != 200) return;
    Canvas2->Clear();
    QImageReader reader(file);
    reader.setDecideFormatFromContent(true);   // the name says .png, the body may be anything
    const QImage pic = reader.read();
    if (pic.isNull()) return;
    const QVector<std::int32_t> size = GetImageSize(pic);
    const int w = size[1], h = size[2];
    if (w <= 0 || h <= 0) return;
    const int x = static_cast<int>((kIconBox - static_cast<double>(w)) / 2.0);
    const int y = static_cast<int>((kIconBox - static_cast<double>(h)) / 2.0);
    Canvas2->SetIcon(pic, QRect(x, y, w, h));
}

void Window1::Canvas2_Paint() { Canvas2->update(); }

QVector<std::int32_t> Window1::GetImageSize(const QImage& pic) const {
    QVector<std::int32_t> result(3, 0);
    const double w = pic.width(), h = pic.height();
    if (w <= 0 || h <= 0) return result;
    const double rw = kIconBox / w, rh = kIconBox / h;
    if (w <= kIconBox && h <= kIconBox) {
        result[1] = static_cast<std::int32_t>(w);
        result[2] = static_cast<std::int32_t>(h);
    } else if (rw * h < kIconBox) {
        result[1] = kIconBox;
        result[2] = static_cast<std::int32_t>(std::ceil(rw * h));
    } else {
        result[1] = static_cast<std::int32_t>(std::ceil(rh * w));
        result[2] = kIconBox;
    }
    return result;
}

bool Window1::stURL_MouseDown(int, int) {
    OpenLink(stURL->text());
    return false;
}

bool Window1::stHomepage_MouseDown(int, int) {
    OpenLink(stHomepage->text());
    return false;
}
