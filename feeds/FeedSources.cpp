#include "feeds/FeedSources.h"

#include <cstdlib>

#include "feeds/feed.h"
#include "platform/SqlConnection.h"

namespace {

long long Integer(const std::string& text) { return std::strtoll(text.c_str(), nullptr, 10); }

}  // namespace

FeedSources ReadFeedSources(SqlConnection& db, bool allFeeds) {
    // The counts are taken as the window's list takes them, but grouped by key, so feeds sharing a title stay apart.
    std::string sql =
        "SELECT Sources.id, Sources.title, Sources.URL, Sources.homePage, Sources.description, Count(Articles.id), "
        "CAST(ifnull(Sum(Articles.unread), 0) AS INTEGER), ifnull(Sources.subscribed=1, 0) "
        "FROM Sources LEFT JOIN Articles ON Sources.id = Articles.source_id";
    if (!allFeeds)
        sql += " WHERE Sources.subscribed=1";
    sql += " GROUP BY Sources.id ORDER BY Sources.title COLLATE NOCASE, Sources.id";

    FeedSources result;
    auto cursor = db.Select(sql);
    if (!cursor) {
        result.error = db.ErrorMessage();
        return result;
    }
    for (; !cursor->AtEnd(); cursor->MoveNext()) {
        FeedSource f;
        f.id = Integer(cursor->Column(1));
        f.title = cursor->Column(2);
        f.url = cursor->Column(3);
        f.homePage = cursor->Column(4);
        f.description = cursor->Column(5);
        f.articles = Integer(cursor->Column(6));
        f.unread = Integer(cursor->Column(7));
        f.subscribed = cursor->Column(8) == "1";
        result.feeds.push_back(std::move(f));
    }
    // A step that failed halfway (a lock taken meanwhile) ends the cursor early: the list would be short.
    if (db.Error()) {
        result.feeds.clear();
        result.error = db.ErrorMessage();
    }
    return result;
}

std::optional<bool> HasFeed(SqlConnection& db, const std::string& key) {
    if (!feed::IsPlainKey(key))
        return false;
    auto cursor = db.Select("SELECT id FROM Sources WHERE id=" + key);
    if (!cursor)
        return std::nullopt;
    return !cursor->AtEnd();
}
