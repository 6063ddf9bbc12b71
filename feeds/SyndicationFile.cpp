#include "feeds/SyndicationFile.h"

#include <system_error>

#include "platform/SqlConnection.h"

namespace SyndicationFile {

bool HasFeedTables(SqlConnection& db) {
    auto cursor = db.Select(
        "SELECT count(*) FROM sqlite_master WHERE type='table' AND lower(name) IN ('sources','articles')");
    return cursor && !cursor->AtEnd() && cursor->Column(1) == "2";
}

std::filesystem::path RealFile(const std::filesystem::path& path) {
    // Followed link by link, so a link whose file has gone still names that file, never itself.
    std::filesystem::path file = path;
    std::error_code ec;
    for (int hops = 0; hops < 40 && std::filesystem::is_symlink(std::filesystem::symlink_status(file, ec)); ++hops) {
        const std::filesystem::path target = std::filesystem::read_symlink(file, ec);
        if (ec)
            break;
        file = target.is_absolute() ? target : file.parent_path() / target;
    }
    const std::filesystem::path real = std::filesystem::weakly_canonical(file, ec);
    return ec ? file.lexically_normal() : real;
}

std::vector<std::filesystem::path> SideFiles(const std::filesystem::path& file) {
    std::vector<std::filesystem::path> files;
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        std::filesystem::path side = file;
        side += suffix;
        files.push_back(side);
    }
    return files;
}

Checked Check(const std::filesystem::path& path) {
    Checked checked;
    checked.path = path;
    checked.file = RealFile(path);
    const std::optional<FileIdentity> before = FileIdentity::Of(checked.file);
    bool tables = false;
    {
        SqlConnection db(checked.file);
        tables = before && db.Connect() && HasFeedTables(db);
    }
    const std::optional<FileIdentity> after = FileIdentity::Of(checked.file);
    if (before && after && *before == *after) {
        checked.identity = before;
        checked.feedTables = tables;
    }
    return checked;
}

Deletion Delete(const Checked& checked) {
    Deletion result;
    std::error_code ec;
    // The link is left alone: the browser's new database is found again through it. The file under that name
    // must be the one checked: a link re-pointed or a file moved over it since then is another program's.
    const std::filesystem::path file = RealFile(checked.path);
    const std::optional<FileIdentity> now = FileIdentity::Of(file);
    if (!checked.identity || !now || *now != *checked.identity ||
        std::filesystem::is_symlink(std::filesystem::symlink_status(file, ec))) {
        result.outcome = Deletion::NotTheCheckedFile;
        return result;
    }
    std::filesystem::remove(file, ec);
    if (ec) {
        result.error = ec.message();
        return result;
    }
    result.outcome = Deletion::Deleted;
    // A journal left behind would be rolled into the new database the browser makes under the same name.
    for (const auto& side : SideFiles(file)) {
        std::filesystem::remove(side, ec);
        if (ec && result.error.empty()) result.error = side.string() + ": " + ec.message();
    }
    return result;
}

}  // namespace SyndicationFile
