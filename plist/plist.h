#pragma once
// A property-list document: one XML property-list file, its root dictionary, its header lines and an
// error state. Standard library only.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "plist/plistdict.h"

class plist {
public:
    /// Reads file, or starts a new document when it does not exist; saves go to file.
    explicit plist(const std::filesystem::path& file);
    /// Reads file, or fallback when file does not exist; saves always go to file.
    plist(const std::filesystem::path& file, const std::filesystem::path& fallback);
    // Every node points back at its document, so a document stays where it was made.
    plist(const plist&) = delete;
    plist& operator=(const plist&) = delete;

    /// Writes the header lines, the root's entries and the closing lines to savePath (LF line ends), through
    /// a new file renamed over the old one (see plistFile::Replace): a failed save leaves the old file whole.
    void Save();
    /// Fills the document from file, or from fallback when file does not exist. Does not clear an earlier error.
    void Load(const std::filesystem::path& file, const std::filesystem::path& fallback);

    /// The four header lines of a new document, the root's "<dict>" included.
    static const std::vector<std::string>& DefaultHeaders();

    std::unique_ptr<plistDict> root;    ///< the top-level dictionary, named "root"
    bool error = false;                 ///< true after an operation failed
    std::string errorMessage;           ///< message of the last failure
    std::filesystem::path savePath;     ///< where Save writes
    std::vector<std::string> headers;   ///< lines before the root's entries; [0] is an empty placeholder
};
