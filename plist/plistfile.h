#pragma once
// Replacing a file whole: a failed or interrupted save never leaves it cut short.

#include <filesystem>
#include <string>
#include <string_view>

namespace plistFile {

/// Puts contents in place of file: they go to a new file in the same folder, which is flushed to the disk
/// and then renamed over the old one, so a crash or a full disk leaves the old file as it was. A symbolic
/// link is followed to the file at the end of its chain, which is replaced; the link stays. The new file
/// takes the old one's permissions, and a file the process may not write is not replaced.
/// Returns the failure message, empty when the file was replaced.
std::string Replace(const std::filesystem::path& file, std::string_view contents);

}  // namespace plistFile
