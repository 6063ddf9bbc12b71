#include "plist/plistfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <memory>

namespace plistFile {
namespace {

const char* const kOpenFailed = "Could not open file for saving";
const char* const kWriteFailed = "Could not write file";

// A file descriptor in a unique_ptr: the deleter's pointer type holds the number.
struct FdCloser {
    struct pointer {
        int fd = -1;
        pointer() = default;
        pointer(std::nullptr_t) {}
        explicit pointer(int f) : fd(f) {}
        explicit operator bool() const { return fd >= 0; }
        friend bool operator==(pointer a, pointer b) { return a.fd == b.fd; }
        friend bool operator!=(pointer a, pointer b) { return a.fd != b.fd; }
    };
    void operator()(pointer p) const { ::close(p.fd); }
};
using Fd = std::unique_ptr<int, FdCloser>;

Fd Open(const std::filesystem::path& p, int flags, mode_t mode = 0) {
    return Fd(FdCloser::pointer(::open(p.c_str(), flags | O_CLOEXEC, mode)));
}

// The file at the end of a chain of symbolic links, or false for a chain that loops or cannot be read.
bool FollowLinks(std::filesystem::path& p) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(p, ec)) return true;
        const std::filesystem::path to = std::filesystem::read_symlink(p, ec);
        if (ec) return false;
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    return false;
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Removes the new file unless it was renamed into place.
struct RemoveUnlessKept {
    std::filesystem::path path;
    bool kept = false;
    ~RemoveUnlessKept() {
        if (!kept) ::unlink(path.c_str());
    }
};

}  // namespace

std::string Replace(const std::filesystem::path& file, std::string_view contents) {
    std::filesystem::path target = file;
    if (!FollowLinks(target)) return kOpenFailed;
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    // A file the user made read-only stays as it is, as it would if it were written in place.
    if (existed && (S_ISDIR(old.st_mode) || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0))
        return kOpenFailed;

    // A hidden name beside the target: the rename must stay within one file system.
    Fd fd;
    RemoveUnlessKept temp;
    for (int attempt = 0; !fd && attempt < 100; ++attempt) {
        temp.path = target.parent_path() / ("." + target.filename().string() + "." + std::to_string(::getpid()) +
                                            "-" + std::to_string(attempt) + ".tmp");
        fd = Open(temp.path, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (!fd && errno != EEXIST) break;
    }
    if (!fd) {
        temp.kept = true;  // nothing was made, and a name taken by another must not go
        return kOpenFailed;
    }
    const int out = fd.get().fd;
    if (existed) {
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            // Only a privileged process can give the file back to its owner; others keep it as theirs.
            const int given = ::fchown(out, old.st_uid, old.st_gid);
            static_cast<void>(given);
        }
        ::fchmod(out, old.st_mode & 07777);
    }
    // A file system that cannot flush (EINVAL) has nothing more to give.
    if (!WriteAll(out, contents) || (::fsync(out) != 0 && errno != EINVAL) || ::close(fd.release().fd) != 0 ||
        ::rename(temp.path.c_str(), target.c_str()) != 0)
        return kWriteFailed;
    temp.kept = true;

    // The rename itself lasts only once the folder is on the disk too; not every file system can say so.
    std::filesystem::path folder = target.parent_path();
    if (Fd dir = Open(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY)) ::fsync(dir.get().fd);
    return std::string();
}

}  // namespace plistFile
