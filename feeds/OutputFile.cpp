#include "feeds/OutputFile.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <system_error>
#include <vector>

#include "feeds/SyndicationFile.h"

namespace {

std::string Message(int error) { return std::generic_category().message(error); }

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// What the target must not be, and how the refusal names it. SQLite keeps the side files beside the file
// the database path finally names.
std::string Refusal(const std::filesystem::path& target, const struct stat* targetStat,
                    const std::filesystem::path& database) {
    if (database.empty())
        return {};
    const std::filesystem::path file = SyndicationFile::RealFile(database);
    const std::vector<std::filesystem::path> sides = SyndicationFile::SideFiles(file);
    const std::pair<std::filesystem::path, const char*> kept[] = {
        {file, "it is the feed database itself"},
        {sides[0], "it is the feed database's journal"},
        {sides[1], "it is the feed database's write-ahead log"},
        {sides[2], "it is the feed database's shared-memory file"},
    };
    const std::filesystem::path resolved = SyndicationFile::RealFile(target);
    for (const auto& [path, what] : kept) {
        struct stat keptStat {};
        const bool keptExists = ::stat(path.c_str(), &keptStat) == 0;
        // Both there: the same file whatever its names. Either missing: the same name once links are followed.
        if (targetStat && keptExists ? SameFile(*targetStat, keptStat) : resolved == path)
            return what;
    }
    return {};
}

}  // namespace

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
}

std::string OutputFile::Open(const std::filesystem::path& name, const std::filesystem::path& databaseName) {
    // Compared and resolved as absolute paths: a relative name that is not there yet resolves to nothing else.
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::absolute(name, ec);
    const std::filesystem::path database =
        databaseName.empty() ? databaseName : std::filesystem::absolute(databaseName, ec);
    Discard();
    error_.clear();
    replace_ = false;
    struct stat targetStat {};
    const bool exists = ::stat(target.c_str(), &targetStat) == 0;   // through links
    if (std::string refused = Refusal(target, exists ? &targetStat : nullptr, database); !refused.empty())
        return error_ = std::move(refused);
    if (exists && S_ISDIR(targetStat.st_mode))
        return error_ = "it is a folder";

    if (exists && !S_ISREG(targetStat.st_mode)) {
        // Replacing a pipe or a device with a file would leave its reader with nothing: written as it is.
        fd_ = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0)
            return error_ = Message(errno);
        final_ = target;
        return {};
    }

    final_ = SyndicationFile::RealFile(target);
    struct stat finalStat {};
    if (::lstat(final_.c_str(), &finalStat) == 0 && S_ISLNK(finalStat.st_mode))
        return error_ = "a loop of links";
    // Beside the final file, so the rename stays on one file system and never crosses to another.
    std::string base = final_.filename().string().substr(0, 200);
    std::mt19937 random(std::random_device{}());
    const char* const letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        std::string name = "." + base + ".";
        for (int i = 0; i < 8; ++i)
            name += letters[random() % 62];
        temporary_ = final_.parent_path() / name;
        // 0666 less the umask, as any new file; an existing file's own permissions are kept below.
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) {
            const int error = errno;
            temporary_.clear();
            return error_ = Message(error);
        }
    }
    if (fd_ < 0) {
        temporary_.clear();
        return error_ = "no temporary file could be made beside it";
    }
    if (exists)
        ::fchmod(fd_, targetStat.st_mode & 07777);
    replace_ = true;
    return {};
}

bool OutputFile::Write(std::string_view bytes) {
    if (fd_ < 0 && error_.empty())
        error_ = "the file is not open";
    if (!error_.empty())
        return false;
    // A pipe whose reader has gone is a failed write to report, not the end of the program.
    sigset_t pipe, previous;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &previous);
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error_ = n < 0 ? Message(errno) : "nothing more could be written";
            break;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    sigset_t pending;
    if (!sigismember(&previous, SIGPIPE) && sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE)) {
        int signal = 0;
        sigwait(&pipe, &signal);   // takes the one raised above, so it is not delivered once unblocked
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return error_.empty();
}

std::string OutputFile::Commit() {
    if (fd_ < 0 && error_.empty())
        error_ = "the file is not open";
    // Flushed to disk before the rename, so a crash never leaves the target renamed but empty.
    if (error_.empty() && replace_ && ::fsync(fd_) != 0)
        error_ = Message(errno);
    if (fd_ >= 0 && ::close(fd_) != 0 && error_.empty())
        error_ = Message(errno);
    fd_ = -1;
    if (error_.empty() && replace_ && ::rename(temporary_.c_str(), final_.c_str()) != 0)
        error_ = Message(errno);
    if (error_.empty())
        temporary_.clear();
    Discard();
    return error_;
}
