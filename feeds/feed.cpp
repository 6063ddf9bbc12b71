#include "feeds/feed.h"

bool feed::IsPlainKey(const std::string& key) {
    std::size_t i = (!key.empty() && key[0] == '-') ? 1 : 0;
    if (i == key.size())
        return false;
    for (; i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9')
            return false;
    }
    return true;
}

void feed::Load(SqlConnection& db) {
    // A previous Load's values must not pass for this key's.
    FeedDate.clear();
    HomePage.clear();
    HTTPDate.clear();
    IconURL.clear();
    LastCheck.clear();
    LastUpdate.clear();
    Title.clear();
    URL.clear();
    rs.reset();
    if (!IsPlainKey(ID))
        return;

    rs = db.Select("SELECT * FROM Sources WHERE id=" + ID);
    if (!rs || rs->AtEnd())
        return;   // the browser may have removed the feed since the last refresh
    FeedDate = rs->Column("date");
    HomePage = rs->Column("homePage");
    HTTPDate = rs->Column("HTTPDate");
    IconURL = rs->Column("iconURL");
    LastCheck = rs->Column("lastCheck");
    LastUpdate = rs->Column("lastUpdate");
    Title = rs->Column("Title");
    URL = rs->Column("URL");
    // The key is unique, so the query is done; reading it out ends its read lock while rs is kept.
    while (!rs->AtEnd())
        rs->MoveNext();
}

// Only the articles whose value changes are written: the journal, and the browser's wait for the lock, grow
// with the change rather than with the feed. NULL is not 0 nor 1, so those articles change too.
void feed::MarkRead(SqlConnection& db) {
    if (IsPlainKey(ID))
        db.Execute("UPDATE Articles SET unread=0 WHERE source_id=" + ID + " AND unread IS NOT 0");
}

void feed::MarkUnread(SqlConnection& db) {
    if (IsPlainKey(ID))
        db.Execute("UPDATE Articles SET unread=1 WHERE source_id=" + ID + " AND unread IS NOT 1");
}

std::string feed::ForceReload(SqlConnection& db) {
    if (!IsPlainKey(ID))
        return {};
    // Both deletes or neither: a feed without its row but with articles, or the reverse, must not be left behind.
    SqlTransaction transaction(db);
    if (!transaction.Began())
        return db.ErrorMessage();
    if (!db.Execute("DELETE FROM Articles WHERE source_id=" + ID))
        return db.ErrorMessage();
    if (!db.Execute("DELETE FROM Sources WHERE id=" + ID))
        return db.ErrorMessage();
    if (!transaction.Commit())
        return db.ErrorMessage();
    return {};
}

void feed::MarkAllRead(SqlConnection& db) {
    // Three ranges of the index on unread find the articles to change without reading the others.
    db.Execute("UPDATE Articles SET unread=0 WHERE unread IS NULL OR unread < 0 OR unread > 0");
}

std::optional<bool> feed::Exists(SqlConnection& db) const {
    if (!IsPlainKey(ID))
        return false;
    auto cursor = db.Select("SELECT id FROM Sources WHERE id=" + ID);
    if (!cursor)
        return std::nullopt;
    return !cursor->AtEnd();
}
