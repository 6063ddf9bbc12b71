#pragma once
// Every feed on its own, one entry per Sources row (where the window's list groups feeds by title), with its
// addresses and counts: what the command line lists and what an OPML export carries.

#include <optional>
#include <string>
#include <vector>

class SqlConnection;

struct FeedSource {
    long long id = 0;           ///< Sources.id
    std::string title;          ///< NULL reads as empty text, as everywhere in the program; no use tells them apart
    std::string url;
    std::string homePage;
    std::string description;
    long long articles = 0;
    long long unread = 0;       ///< sum of the articles' unread flags; 0 for a feed without articles
    bool subscribed = false;    ///< subscribed=1, the test the subscribed-only listing makes
};

struct FeedSources {
    std::vector<FeedSource> feeds;   ///< ordered by title (ignoring ASCII letter case), then by key
    std::string error;               ///< the engine's message when the statement failed; empty otherwise
};

/// All feeds, or only the subscribed ones.
FeedSources ReadFeedSources(SqlConnection& db, bool allFeeds);

/// Whether a Sources row has the key; nullopt (with the connection's error set) when the query failed.
/// A key that is not plain decimal (feed::IsPlainKey) has no row and reaches no statement.
std::optional<bool> HasFeed(SqlConnection& db, const std::string& key);
