#pragma once
// Which file a path names right now, as the file system knows it: device and inode. A name can come to mean
// another file a moment later (a link re-pointed, a file moved over it); what was decided about one file is
// acted on only while the name still gives the same identity.

#include <cstdint>
#include <filesystem>
#include <optional>

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    /// The file path names, links followed; nothing when there is none.
    static std::optional<FileIdentity> Of(const std::filesystem::path& path);

    bool operator==(const FileIdentity& o) const { return device == o.device && inode == o.inode; }
    bool operator!=(const FileIdentity& o) const { return !(*this == o); }
};
