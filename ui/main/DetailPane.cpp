#include "ui/main/DetailPane.h"

#include <QDir>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QtConcurrent/QtConcurrentRun>
#include <QImageReader>
#include <QLabel>
#include <QUrl>
#include <cmath>

#include "app/App.h"
#include "platform/Folders.h"
#include "platform/IconDownloader.h"
#include "ui/main/IconCanvas.h"
#include "ui/main/LinkText.h"
#include "ui/main/WindowFonts.h"

namespace {

constexpr int kIconBox = 120;

bool IsWebAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

// The browser stores some icon URLs relative to the feed's site ("/images/rss/badge.gif").
QUrl IconUrl(const QString& iconText, const QString& homePage) {
    QUrl icon(iconText.trimmed(), QUrl::TolerantMode);
    if (icon.isRelative()) {
        const QUrl base(homePage.trimmed(), QUrl::TolerantMode);
        if (!base.isValid() || base.isRelative()) return {};
        icon = base.resolved(icon);
    }
    return IsWebAddress(icon) ? icon : QUrl();
}

// The file is chosen by the URL's text alone, in this order.
QString TempIconFile(const QString& url) {
    if (url.contains(QLatin1String(".jpg"), Qt::CaseInsensitive)) return QStringLiteral("tmp.jpg");
    if (url.contains(QLatin1String(".gif"), Qt::CaseInsensitive)) return QStringLiteral("tmp.gif");
    if (url.contains(QLatin1String("png"), Qt::CaseInsensitive)) return QStringLiteral("tmp.png");
    return {};
}

// Only the formats feed icons come in are decoded, whatever other image plugins are installed.
bool IsIconFormat(const QByteArray& format) {
    static const QList<QByteArray> formats{"png", "gif", "jpeg", "jpg", "ico", "bmp"};
    return formats.contains(format.toLower());
}

struct FittedIcon {
    QImage picture;   ///< null: nothing to draw
    QRect place;      ///< in the box
};

// Runs in the thread pool: a large icon takes long to decode, and the window must not wait for it. The size is read
// from the file's header first, so a picture too large to be an icon is never decoded at all.
FittedIcon DecodeIcon(const QString& file) {
    QImageReader reader(file);
    reader.setDecideFormatFromContent(true);   // the name says .png, the body may be anything
    if (!IsIconFormat(reader.format())) return {};
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > DetailPane::kLargestIcon || size.height() > DetailPane::kLargestIcon)
        return {};
    const QImage pic = reader.read();
    if (pic.isNull()) return {};
    const QVector<std::int32_t> fitted = DetailPane::GetImageSize(pic);
    const int w = fitted[1], h = fitted[2];
    if (w <= 0 || h <= 0) return {};
    const int x = static_cast<int>((kIconBox - static_cast<double>(w)) / 2.0);
    const int y = static_cast<int>((kIconBox - static_cast<double>(h)) / 2.0);
    // Kept at the size it is drawn: the box repaints it often, and a large picture would be scaled every time.
    return {pic.size() == QSize(w, h) ? pic : pic.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
            QRect(x, y, w, h)};
}

QLabel* PlainLabel(const QString& text, QWidget* parent, const char* name, const QRect& place) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(place);
    label->setTextFormat(Qt::PlainText);   // feed data is shown as it is, never read as markup
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

}  // namespace

DetailPane::DetailPane(QWidget* content) : QObject(content) {
    TCPSocket1 = new IconDownloader(this);
    TCPSocket1->setObjectName(QStringLiteral("TCPSocket1"));
    connect(TCPSocket1, &IconDownloader::DownloadComplete, this,
            [this](const QString&, int status, const QString& file) { IconArrived(status, file); });

    Canvas2 = new IconCanvas(content);
    Canvas2->setObjectName(QStringLiteral("Canvas2"));
    Canvas2->setGeometry(397, 296, 122, 120);

    stTitle = PlainLabel(QStringLiteral("stTitle"), content, "stTitle", {20, 296, 340, 20});
    stTitle->setFont(WindowFonts::Pixels(11, true));

    auto link = [content](const char* name, const QString& text, const QRect& place) {
        auto* l = new LinkText(text, content);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(place);
        QFont f = WindowFonts::Pixels(11);
        f.setUnderline(true);
        l->setFont(f);
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, QColor(0, 0, 255));
        l->setPalette(p);
        return l;
    };
    stURL = link("stURL", QStringLiteral("stURl"), {20, 318, 343, 40});
    stHomepage = link("stHomepage", QStringLiteral("stHomepage"), {20, 362, 343, 40});
    connect(stURL, &LinkText::pressed, this, &DetailPane::urlPressed);
    connect(stHomepage, &LinkText::pressed, this, &DetailPane::homePagePressed);

    GroupBox1 = new QGroupBox(content);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(14, 284, 520, 144);
    // The group box only frames the pane; clicks go through to the links inside it.
    GroupBox1->setAttribute(Qt::WA_TransparentForMouseEvents);

    stHTTPDate = PlainLabel(QStringLiteral("stHTTPDate"), content, "stHTTPDate", {20, 396, 238, 20});
}

void DetailPane::Show(const feed& record) {
    stTitle->setText(QString::fromStdString(record.Title));
    stURL->setText(QString::fromStdString(record.URL));
    stHomepage->setText(QString::fromStdString(record.HomePage));
    stHTTPDate->setText(QString::fromStdString(record.HTTPDate));
}

void DetailPane::ClearIcon() {
    ++decodes_;
    Canvas2->Clear();
    TCPSocket1->Cancel();
}

void DetailPane::FetchIcon(const QString& iconText, const QString& homePage) {
    ClearIcon();
    if (iconText.isEmpty()) return;
    const QUrl icon = IconUrl(iconText, homePage);
    if (icon.isEmpty()) return;
    const QString file = TempIconFile(icon.toString());
    if (file.isEmpty()) return;
    TCPSocket1->Get(icon, QDir(Folders::CacheFolder()).filePath(file));
}

void DetailPane::IconArrived(int httpStatus, const QString& file) {
    if (httpStatus != 200) return;   // the box was emptied when the fetch began
    const int decode = ++decodes_;
    auto* watcher = new QFutureWatcher<FittedIcon>(this);
    connect(watcher, &QFutureWatcher<FittedIcon>::finished, this, [this, watcher, decode] {
        watcher->deleteLater();
        const FittedIcon icon = watcher->result();
        if (decode == decodes_ && !icon.picture.isNull()) Canvas2->SetIcon(icon.picture, icon.place);
    });
    watcher->setFuture(QtConcurrent::run(DecodeIcon, file));
}

void DetailPane::OpenLink(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::TolerantMode);
    // Feed data is not trusted: only web addresses go to the browser, never a file, a share or a script.
    if (IsWebAddress(url) && !url.host().isEmpty())
        app().seams.openUrl(url);
    else
        app().seams.beep();
}

QVector<std::int32_t> DetailPane::GetImageSize(const QImage& pic) {
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
