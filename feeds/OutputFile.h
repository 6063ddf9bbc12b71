#pragma once
// Where an export goes when the user names a file: the one place that decides what such a name may be
// written to. The database it reads is never replaced; a pipe, a terminal or a device is written to as it is;
// a regular file is replaced whole or not at all. Plain POSIX calls, no Qt, shared by the command line and
// the window.

#include <filesystem>
#include <string>
#include <string_view>

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();   ///< discards the temporary file, and so leaves the target as it was, unless Commit succeeded
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// Decides about target and opens it. Refused: the database file or one of its -journal, -wal and -shm
    /// files (the same device and inode, through links; one that does not exist yet by the path its links
    /// lead to), and a folder. Another existing file that is not a regular one (a pipe, a terminal,
    /// /dev/null) is opened for writing as it is, and may wait there for a reader. A regular file or a new
    /// name gets a temporary file beside the file the path finally names; through a link, that file is
    /// replaced and the link stays. Empty text on success, else why not (nothing was written).
    std::string Open(const std::filesystem::path& target, const std::filesystem::path& database);

    /// Writes all of bytes; false once a write failed, with Error() saying why.
    bool Write(std::string_view bytes);
    /// Ends the writing: a regular file is flushed to disk and renamed over the target. Empty text on
    /// success, else why not (the target then holds what it held before, unless it is not a regular file).
    std::string Commit();
    const std::string& Error() const { return error_; }

private:
    void Discard();

    int fd_ = -1;
    bool replace_ = false;              ///< written to a temporary file, renamed over final_ at the end
    std::filesystem::path temporary_;
    std::filesystem::path final_;
    std::string error_;
};
