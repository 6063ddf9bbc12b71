#include "feeds/FeedList.h"

#include <cctype>
#include <cstdint>
#include <limits>

#include "platform/SqlConnection.h"

namespace {

const char* const kSubscribedOnly = " WHERE Sources.subscribed=1";
const char* const kSubscribedArticlesOnly =
    " WHERE Articles.source_id IN (SELECT Sources.id FROM Sources WHERE Sources.subscribed=1)";

// The named column of the first row; empty when the query failed (its message kept in error, if none is yet)
// or gave no row.
std::string FirstValue(SqlConnection& db, const std::string& sql, const char* column, std::string& error) {
    auto cursor = db.Select(sql);
    if (!cursor && error.empty())
        error = db.ErrorMessage();
    if (!cursor || cursor->AtEnd())
        return {};
    return cursor->Column(std::string_view(column));
}

}  // namespace

std::string FeedSummaryStatement(bool allFeeds) {
    std::string sql =
        "SELECT Sources.title, Count(Articles.id) AS numberofarticles, Sum(Articles.unread) AS unreadcount, "
        "Sources.id,Sources.subscribed, Sources.iconURL FROM Sources left JOIN Articles ON Sources.ID = "
        "Articles.source_id";
    if (!allFeeds)
        sql += kSubscribedOnly;
    sql += " GROUP BY Sources.title";
    return sql;
}

FeedListing ReadFeedList(SqlConnection& db, bool allFeeds) {
    FeedListing listing;
    if (!db.IsConnected())
        return listing;

    if (auto cursor = db.Select(FeedSummaryStatement(allFeeds))) {
        for (; !cursor->AtEnd(); cursor->MoveNext()) {
            std::array<std::string, 6> row;
            const int columns = cursor->ColumnCount();
            for (int i = 1; i <= columns && i <= static_cast<int>(row.size()); ++i)
                row[static_cast<std::size_t>(i - 1)] = cursor->Column(i);
            listing.rows.push_back(std::move(row));
        }
    }

    FeedTotals totals = ReadTotals(db, allFeeds);
    listing.numSources = std::move(totals.numSources);
    listing.numArticles = std::move(totals.numArticles);
    listing.numUnread = std::move(totals.numUnread);
    return listing;
}

FeedTotals ReadTotals(SqlConnection& db, bool allFeeds) {
    std::string sources = "SELECT count(Sources.title) as CountOfSources FROM Sources";
    std::string articles = "SELECT count(Articles.id) as CountOfArticles FROM Articles";
    std::string unread = "SELECT sum(Articles.unread) as CountOfUnread FROM Articles";
    if (!allFeeds) {
        sources += kSubscribedOnly;
        articles += kSubscribedArticlesOnly;
        unread += kSubscribedArticlesOnly;
    }
    FeedTotals totals;
    totals.numSources = FirstValue(db, sources, "CountOfSources", totals.error);
    totals.numArticles = FirstValue(db, articles, "CountOfArticles", totals.error);
    totals.numUnread = FirstValue(db, unread, "CountOfUnread", totals.error);
    return totals;
}

std::int32_t LeadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // Saturate rather than overflow: a sum beyond 32 bits shows as the largest count there is.
    constexpr std::int64_t limit = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit + 1)
            value = limit + 1;
    }
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(value > limit ? limit : value);
}
