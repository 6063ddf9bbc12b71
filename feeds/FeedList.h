#pragma once
// The feed list and the three totals, as the main window shows them.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class SqlConnection;

struct FeedListing {
    /// title, article count, unread count, Sources.id, subscribed, iconURL: each as the engine returns it
    std::vector<std::array<std::string, 6>> rows;
    std::string numSources;    ///< CountOfSources
    std::string numArticles;   ///< CountOfArticles
    std::string numUnread;     ///< CountOfUnread (empty when the sum is NULL)
};

/// Runs the summary statement and the three totals. A connection that is not open, or a database
/// without the tables, gives no rows and empty totals.
FeedListing ReadFeedList(SqlConnection& db, bool allFeeds);

struct FeedTotals {
    std::string numSources;    ///< CountOfSources
    std::string numArticles;   ///< CountOfArticles
    std::string numUnread;     ///< CountOfUnread (empty when the sum is NULL)
    std::string error;         ///< the engine's message of the first statement that failed; empty when all ran
};

/// The three totals of ReadFeedList. A failed statement leaves its total empty and the others still run.
FeedTotals ReadTotals(SqlConnection& db, bool allFeeds);

/// The statement texts, exposed so tests can compare what the engine saw.
std::string FeedSummaryStatement(bool allFeeds);

/// A leading decimal number of the text as a 32-bit integer; empty or non-numeric text gives 0.
std::int32_t LeadingNumber(const std::string& text);
