#pragma once
// What the program decides about the database file itself: whether it is a feed database at all, where
// it really lives, and which files SQLite keeps beside it. Deleting the wrong file loses someone's data,
// so these decisions stay here, beside the statements, and nowhere else.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileIdentity.h"

class SqlConnection;

namespace SyndicationFile {

/// True when the open connection's database holds the tables Sources and Articles (letter case aside).
bool HasFeedTables(SqlConnection& db);

/// The file a path finally names: links followed. SQLite keeps its side files beside that file.
std::filesystem::path RealFile(const std::filesystem::path& path);

/// The rollback journal, write-ahead log and shared-memory files that belong to file.
std::vector<std::filesystem::path> SideFiles(const std::filesystem::path& file);

/// What a check before deleting found out about one file.
struct Checked {
    std::filesystem::path path;             ///< as given: a link stays a link
    std::filesystem::path file;             ///< the file the path named, links followed
    std::optional<FileIdentity> identity;   ///< the file looked at; nothing when it could not be told
    bool feedTables = false;                ///< it holds Sources and Articles
};

/// Looks at the file path names now, on a connection of its own. The file's identity is taken before and after,
/// so the answer is about that very file: one moved or re-pointed meanwhile gives no answer.
Checked Check(const std::filesystem::path& path);

struct Deletion {
    enum Outcome { Deleted, NotTheCheckedFile, Failed } outcome = Failed;
    std::string error;   ///< what failed (for Deleted: a side file that could not go); empty otherwise
};

/// Deletes the checked feed database (the file a link points to; the link stays) and its side files, but only
/// while the path still names the file that was checked (no link re-pointed, no file moved over it); otherwise
/// nothing at all.
Deletion Delete(const Checked& checked);

}  // namespace SyndicationFile
