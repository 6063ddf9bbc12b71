#include "feeds/Opml.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QXmlStreamWriter>

#include "feeds/OutputFile.h"

namespace {

// The text as XML 1.0 may carry it: tab, line feed, carriage return and the characters from U+0020 on,
// less the surrogates and U+FFFE/U+FFFF; a surrogate pair stands for an allowed character beyond U+FFFF.
QString XmlText(const std::string& utf8) {
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    QString kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            kept += text[i];
            kept += text[++i];
        } else if (c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c < 0xD800) || (c >= 0xE000 && c <= 0xFFFD)) {
            kept += text[i];
        }
    }
    return kept;
}

}  // namespace

namespace Opml {

QByteArray Document(const std::vector<FeedRow>& feeds, const QDateTime& created) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("opml"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("2.0"));

    xml.writeStartElement(QStringLiteral("head"));
    xml.writeTextElement(QStringLiteral("title"), QStringLiteral("BrindleX feeds"));
    // RFC 822 wants English day and month names, whatever the user's locale.
    xml.writeTextElement(QStringLiteral("dateCreated"),
                         QLocale::c().toString(created.toUTC(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'")));
    xml.writeEndElement();

    xml.writeStartElement(QStringLiteral("body"));
    for (const FeedRow& f : feeds) {
        const QString url = XmlText(f.url);
        QString title = XmlText(f.title);
        // Readers show text as the outline's name; a feed never fetched has no title yet, but always its address.
        if (title.isEmpty()) title = url;
        xml.writeEmptyElement(QStringLiteral("outline"));
        xml.writeAttribute(QStringLiteral("type"), QStringLiteral("rss"));
        xml.writeAttribute(QStringLiteral("text"), title);
        xml.writeAttribute(QStringLiteral("title"), title);
        xml.writeAttribute(QStringLiteral("xmlUrl"), url);
        if (const QString home = XmlText(f.homePage); !home.isEmpty())
            xml.writeAttribute(QStringLiteral("htmlUrl"), home);
        if (const QString description = XmlText(f.description); !description.isEmpty())
            xml.writeAttribute(QStringLiteral("description"), description);
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}

QString WriteFile(const QString& path, const QByteArray& bytes, const std::filesystem::path& database) {
    OutputFile file;
    std::string error = file.Open(QFile::encodeName(path).toStdString(), database);
    if (error.empty() && !file.Write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))
        error = file.Error();
    if (error.empty())
        error = file.Commit();
    return QString::fromStdString(error);
}

}  // namespace Opml
