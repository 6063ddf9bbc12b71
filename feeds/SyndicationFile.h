#pragma once
// What the program decides about the database file itself: whether it is a feed database at all, where
// it really lives, and which files SQLite keeps beside it. Deleting the wrong file loses someone's data,
// so these decisions stay here, beside the statements, and nowhere else.

#include <filesystem>
#include <string>
#include <vector>

class SqlConnection;

namespace SyndicationFile {

/// True when the open connection's database holds the tables Sources and Articles (letter case aside).
bool HasFeedTables(SqlConnection& db);

/// The file a path finally names: links followed. SQLite keeps its side files beside that file.
std::filesystem::path RealFile(const std::filesystem::path& path);

/// The rollback journal, write-ahead log and shared-memory files that belong to file.
std::vector<std::filesystem::path> SideFiles(const std::filesystem::path& file);

/// Deletes the file path names (the target when path is a link, which stays) and its side files.
/// Empty text on success, else what failed.
std::string Delete(const std::filesystem::path& path);

}  // namespace SyndicationFile
