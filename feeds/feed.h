#pragma once
// The record of one feed (a row of Sources) and the statements that read or change it.

#include <memory>
#include <optional>
#include <string>

#include "platform/SqlConnection.h"

class feed {
public:
    std::string URL;
    std::string FeedDate;
    std::string LastCheck;
    std::string HTTPDate;
    std::string Title;
    std::string HomePage;
    std::string ID;                    ///< decimal Sources.id, set by the caller before any operation
    std::unique_ptr<SqlCursor> rs;     ///< cursor of the last Load
    std::string IconURL;
    std::string LastUpdate;

    /// Reads the row of ID; with no such row (or a key that is no plain integer) the fields stay empty.
    /// rs is kept but read to its end, so the record holds no lock on the browser's file.
    void Load(SqlConnection& db);
    void MarkRead(SqlConnection& db);
    void MarkUnread(SqlConnection& db);
    /// Deletes the feed's articles and its Sources row in one transaction.
    /// Returns the engine's message of the statement that failed, or empty text on success.
    std::string ForceReload(SqlConnection& db);
    void MarkAllRead(SqlConnection& db);
    /// Whether Sources has a row with the key; nothing (with the connection's error set) when the query failed.
    /// A key that is not plain decimal has no row and reaches no statement.
    std::optional<bool> Exists(SqlConnection& db) const;

    /// A key that may be spliced into SQL: an optional minus, then decimal digits.
    static bool IsPlainKey(const std::string& key);
};
