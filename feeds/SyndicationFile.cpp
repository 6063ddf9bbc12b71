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

std::string Delete(const std::filesystem::path& path) {
    // The link is left alone: the browser's new database is found again through it.
    const std::filesystem::path file = RealFile(path);
    std::error_code ec;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(file, ec)))
        return file.string() + ": a loop of links";
    std::filesystem::remove(file, ec);
    if (ec)
        return file.string() + ": " + ec.message();
    // A journal left behind would be rolled into the new database the browser makes under the same name.
    for (const auto& side : SideFiles(file)) {
        std::filesystem::remove(side, ec);
        if (ec)
            return side.string() + ": " + ec.message();
    }
    return {};
}

}  // namespace SyndicationFile
