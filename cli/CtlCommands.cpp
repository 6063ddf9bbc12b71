#include "cli/CtlCommands.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/Preferences.h"
#include "feeds/ArticleExport.h"
#include "feeds/FeedList.h"
#include "feeds/Opml.h"
#include "feeds/OutputFile.h"
#include "feeds/feed.h"
#include "platform/SqlConnection.h"
#include "plist/plist.h"

using Preferences::FromUtf8;
using Preferences::Utf8;
using Command = CtlRequest::Command;

namespace {

void Print(const QByteArray& bytes) { std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout); }

CtlResult Failed(const QString& message) {
    PrintError(message);
    return {1, false};
}

QJsonValue JsonText(const std::string& text) { return FromUtf8(text); }

// A title as a terminal may show it: control characters (escape sequences among them), format characters (a
// right-to-left override would reorder the line) and line separators become '?'.
QString Printable(const FeedRow& f) {
    QString title = FromUtf8(f.title.empty() ? f.url : f.title);
    for (QChar& c : title) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Other_Format ||
            category == QChar::Separator_Line || category == QChar::Separator_Paragraph)
            c = QLatin1Char('?');
    }
    return title;
}

// A feed's unread count as a whole number: 0 for a feed without articles, a fraction cut off (the sum of values
// other than 0 and 1, which the browser does not write).
long long UnreadCount(const FeedRow& f) { return static_cast<long long>(std::strtod(f.unread.c_str(), nullptr)); }

void PrintList(const std::vector<FeedRow>& feeds, bool json) {
    if (json) {
        QJsonArray array;
        for (const FeedRow& f : feeds) {
            array.append(QJsonObject{
                {"id", f.id},
                {"title", JsonText(f.title)},
                {"url", JsonText(f.url)},
                {"homePage", f.homePage.empty() ? QJsonValue(QJsonValue::Null) : JsonText(f.homePage)},
                {"articles", f.articles},
                {"unread", UnreadCount(f)},
                {"subscribed", f.isSubscribed},
            });
        }
        Print(QJsonDocument(array).toJson(QJsonDocument::Indented));
        return;
    }
    // Numbers right-aligned under their headings, the title last so it needs no width.
    std::size_t keyWidth = 3, articlesWidth = 8, unreadWidth = 6;
    for (const FeedRow& f : feeds) {
        keyWidth = std::max(keyWidth, std::to_string(f.id).size());
        articlesWidth = std::max(articlesWidth, std::to_string(f.articles).size());
        unreadWidth = std::max(unreadWidth, std::to_string(UnreadCount(f)).size());
    }
    const auto line = [&](const QString& key, const QString& articles, const QString& unread, const QString& subscribed,
                          const QString& title) {
        Print(QStringLiteral("%1  %2  %3  %4  %5\n")
                  .arg(key, static_cast<int>(keyWidth))
                  .arg(articles, static_cast<int>(articlesWidth))
                  .arg(unread, static_cast<int>(unreadWidth))
                  .arg(subscribed, -10)
                  .arg(title)
                  .toUtf8());
    };
    line("KEY", "ARTICLES", "UNREAD", "SUBSCRIBED", "TITLE");
    for (const FeedRow& f : feeds)
        line(QString::number(f.id), QString::number(f.articles), QString::number(UnreadCount(f)),
             f.isSubscribed ? "yes" : "no", Printable(f));
}

void PrintTotals(const FeedListing& totals, bool json) {
    // The window shows a NULL sum (no articles) as blank; as a number it is 0.
    const auto number = [](const std::string& text) { return std::strtoll(text.c_str(), nullptr, 10); };
    const long long sources = number(totals.numSources), articles = number(totals.numArticles),
                    unread = number(totals.numUnread);
    if (json) {
        Print(QJsonDocument(QJsonObject{{"sources", sources}, {"articles", articles}, {"unread", unread}})
                  .toJson(QJsonDocument::Compact) + '\n');
        return;
    }
    Print(QStringLiteral("sources   %1\narticles  %2\nunread    %3\n").arg(sources).arg(articles).arg(unread).toUtf8());
}

// The key's feed exists: false (its message printed) when it does not or the query failed.
bool RequireFeed(SqlConnection& db, const QString& key) {
    feed record;
    record.ID = Utf8(key);
    const std::optional<bool> found = record.Exists(db);
    if (!found) PrintError(FromUtf8(db.ErrorMessage()));
    else if (!*found) PrintError(QStringLiteral("no feed has the key %1").arg(key));
    return found.value_or(false);
}

CtlResult CannotWrite(const QString& file, const QString& why) {
    return Failed(QStringLiteral("cannot write %1: %2").arg(file, why));
}

// export-articles: the document streamed to the file or standard output as it is read.
CtlResult ExportArticles(SqlConnection& db, const CtlRequest& request) {
    if (!request.key.isEmpty() && !RequireFeed(db, request.key)) return {1, false};   // before a pipe is opened
    OutputFile file;
    const bool toFile = !request.outputFile.isEmpty();
    if (toFile) {
        const std::string refused = file.Open(QFile::encodeName(request.outputFile).toStdString(), db.DatabaseFile());
        if (!refused.empty()) return CannotWrite(request.outputFile, FromUtf8(refused));
    }
    ArticleExport::Request what;
    what.key = Utf8(request.key);
    what.flaggedOnly = request.flagged;
    what.unreadOnly = request.unread;
    what.format = request.jsonFeed ? ArticleExport::Format::JsonFeed : ArticleExport::Format::Atom;
    const auto sinceUnix = std::chrono::system_clock::now().time_since_epoch();
    const double now = std::chrono::duration<double>(sinceUnix).count() - 978307200;   // seconds since 2001
    const ArticleExport::Result result = ArticleExport::Write(db, what, now, [&](std::string_view bytes) {
        return toFile ? file.Write(bytes) : std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    });
    if (result.noSuchFeed) return Failed(QStringLiteral("no feed has the key %1").arg(request.key));
    if (!result.error.empty()) return Failed(FromUtf8(result.error));
    if (result.writeFailed && !toFile) return Failed(QStringLiteral("cannot write to standard output"));
    if (result.writeFailed) return CannotWrite(request.outputFile, FromUtf8(file.Error()));
    const std::string error = toFile ? file.Commit() : std::string();
    return error.empty() ? CtlResult{} : CannotWrite(request.outputFile, FromUtf8(error));
}

// The outcome of one of the feed record's statements, which report only through the connection.
CtlResult Checked(SqlConnection& db) { return db.Error() ? Failed(FromUtf8(db.ErrorMessage())) : CtlResult{}; }

}  // namespace

void PrintError(const QString& message) {
    std::fprintf(stderr, "brindlexctl: %s\n", message.toUtf8().constData());
}

QString DatabasePath(const CtlRequest& request, QString& error) {
    if (!request.database.isEmpty()) return request.database;
    // A missing file reads as an empty document, whose values are the fallbacks. A document is written by Save
    // alone, which nothing here calls.
    const std::filesystem::path file = Preferences::File();
    const plist document(file);
    std::error_code ec;
    if (document.error && std::filesystem::exists(std::filesystem::symlink_status(file, ec))) {
        error = QStringLiteral("cannot read the preferences %1 (%2): pass --database PATH, or fix the file")
                    .arg(FromUtf8(file.string()), FromUtf8(document.errorMessage));
        return {};
    }
    return Preferences::Read(document, Preferences::DefaultDatabasePath()).dbFileName;
}

CtlResult RunCommand(const CtlRequest& request) {
    QString unknown;
    const QString path = DatabasePath(request, unknown);
    if (path.isEmpty()) return Failed(unknown);
    SqlConnection db{std::filesystem::path(Utf8(path))};
    if (!db.Connect())   // never creates the file
        return Failed(QStringLiteral("cannot open the database %1: %2").arg(path, FromUtf8(db.ErrorMessage())));

    feed record;
    record.ID = Utf8(request.key);
    switch (request.command) {
    case Command::List:
    case Command::ExportOpml: {
        const FeedListing listing = ReadFeedList(db, request.allFeeds);
        if (!listing.error.empty()) return Failed(FromUtf8(listing.error));
        if (request.command == Command::List) {
            PrintList(listing.rows, request.json);
            return {};
        }
        const QByteArray opml = Opml::Document(listing.rows, QDateTime::currentDateTimeUtc());
        if (request.outputFile.isEmpty()) {
            Print(opml);
            return {};
        }
        const QString error = Opml::WriteFile(request.outputFile, opml, db.DatabaseFile());
        return error.isEmpty() ? CtlResult{} : CannotWrite(request.outputFile, error);
    }
    case Command::ExportArticles:
        return ExportArticles(db, request);
    case Command::Totals: {
        const FeedListing totals = ReadFeedList(db, request.allFeeds);
        if (!totals.error.empty()) return Failed(FromUtf8(totals.error));
        PrintTotals(totals, request.json);
        return {};
    }
    case Command::MarkRead:
        if (!RequireFeed(db, request.key)) return {1, false};
        record.MarkRead(db);
        return Checked(db);
    case Command::MarkUnread:
        if (!RequireFeed(db, request.key)) return {1, false};
        record.MarkUnread(db);
        return Checked(db);
    case Command::MarkAllRead:
        record.MarkAllRead(db);
        return Checked(db);
    case Command::Reset: {
        if (!RequireFeed(db, request.key)) return {1, false};
        const std::string error = record.ForceReload(db);
        if (!error.empty()) return Failed(FromUtf8(error));   // nothing was deleted: no reason to restart
        return {0, !request.noRestart};
    }
    }
    return {1, false};   // not reached: every command returns above
}
