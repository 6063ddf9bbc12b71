#pragma once
// The feed list: one row per feed with its article and unread counts, and the three totals, all from one read
// of the database. The window's list, the command line's list and totals and the OPML export read it here.

#include <cstdint>
#include <string>
#include <vector>

class SqlConnection;

/// One row of Sources with the counts of its articles. What a row shows is what its key's actions change.
struct FeedRow {
    long long id = 0;           ///< Sources.id
    std::string title;          ///< NULL reads as empty text
    long long articles = 0;     ///< the feed's articles
    std::string unread;         ///< the sum of their unread as SQL's SUM gives it; empty when that is NULL
    std::string subscribed;     ///< Sources.subscribed as stored (NULL: empty text)
    bool isSubscribed = false;  ///< subscribed=1, the test the subscribed-only list makes
    std::string iconURL;
    std::string url;
    std::string homePage;
    std::string description;
};

struct FeedListing {
    /// Ordered by title in the engine's binary order (untitled feeds first), equal titles by key.
    std::vector<FeedRow> rows;
    std::string numSources;     ///< the feeds listed
    std::string numArticles;    ///< their articles; with every feed listed, articles of no feed too
    std::string numUnread;      ///< the SUM of those articles' unread; empty when NULL
    std::string error;          ///< the engine's words when the read failed; then rows and totals are empty
};

/// Every feed, or only the subscribed ones, with the totals, in one read transaction. The counts come from the
/// indexes on Articles where the engine holds them (no article's contents is read); an unread column that
/// holds text goes the plain way, with the same results.
FeedListing ReadFeedList(SqlConnection& db, bool allFeeds);

/// A leading decimal number of the text as a 32-bit integer; empty or non-numeric text gives 0.
std::int32_t LeadingNumber(const std::string& text);
