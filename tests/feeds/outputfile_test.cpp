#include "feeds/OutputFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <fstream>
#include <thread>

#include "tests/support/FixtureDb.h"

namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(none)";
}

// Everything in the folder: names, and for each its kind and contents, so nothing new or changed goes unseen.
std::string Folder(const fs::path& folder) {
    std::string all;
    for (const auto& entry : fs::directory_iterator(folder)) {
        all += entry.path().filename().string() + (entry.is_symlink() ? " link" : "") + "=";
        all += entry.is_regular_file() ? Bytes(entry.path()) : entry.is_fifo() ? "fifo" : "other";
        all += "\n";
    }
    return all;
}

// Open, write, commit: the first error on the way, empty when all went through. Commit comes after a failed write
// too: it says so again, and leaves the target as it was.
std::string Export(const fs::path& target, const fs::path& database, std::string_view bytes) {
    OutputFile out;
    if (std::string error = out.Open(target, database); !error.empty()) return error;
    const bool written = out.Write(bytes);
    const std::string error = out.Commit();
    return written == error.empty() ? error : "Write and Commit disagree: " + error;
}

TEST(OutputFile, ReplacesARegularFileWholeThroughItsLinksOrLeavesItAsItWas) {
    FixtureDb db;
    if (::fcntl(0, F_GETFD) == -1) ::open("/dev/null", O_RDONLY);   // descriptor 0 taken, as by standard input
    const fs::path folder = db.folder(), file = folder / "feeds.atom", link = folder / "link.atom";
    EXPECT_EQ(Export(file, db.path(), "1"), "");
    ::chmod(file.c_str(), 0640);
    fs::create_symlink("feeds.atom", link);
    EXPECT_EQ(Export(link, db.path(), "second, longer than the first"), "");
    EXPECT_EQ(Bytes(file), "second, longer than the first");
    EXPECT_TRUE(fs::is_symlink(link)) << "the link stays, the file it names is replaced";
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640)) << "its permissions kept";
    EXPECT_EQ(Export(folder / "missing" / "feeds.atom", db.path(), "third"), "No such file or directory");
    EXPECT_EQ(Export(folder / "missing" / "", db.path(), "fourth"), "No such file or directory") << "a name without a file";
    OutputFile one, another;   // two exports to one name at once: each has a temporary file of its own
    EXPECT_EQ(one.Open(file, db.path()) + another.Open(file, db.path()), "");

    // A write that fails halfway (at a file size limit, as on a full disk) leaves the old file whole.
    const std::string before = Folder(folder);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit small{16, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    const std::string error = Export(link, db.path(), std::string(4096, 'x'));
    setrlimit(RLIMIT_FSIZE, &saved);   // before anything is reported
    EXPECT_EQ(error, "File too large");
    EXPECT_EQ(Folder(folder), before) << "no temporary file left behind";
    EXPECT_NE(::fcntl(0, F_GETFD), -1) << "no descriptor closed that was not the export's";
}

TEST(OutputFile, RefusesTheDatabaseItsSideFilesAndAFolderWithoutWritingAnything) {
    FixtureDb db;
    const fs::path folder = db.folder(), database = db.path();
    std::ofstream(database.string() + "-shm") << "shared";
    fs::create_symlink("Database3", folder / "link");
    fs::create_hard_link(database, folder / "hard");
    fs::create_symlink("to-journal2", folder / "to-journal");   // links to a journal that is not there yet
    fs::create_symlink("Database3-journal", folder / "to-journal2");
    fs::create_directory(folder / "sub");
    fs::create_symlink("..", folder / "sub" / "up");
    fs::create_symlink("loop", folder / "sub" / "loop");
    const std::string before = Folder(folder);
    const struct { fs::path target; fs::path database; const char* error; } cases[] = {
        {folder / "hard", database, "it is the feed database itself"},
        {folder / "sub" / ".." / "Database3", folder / "link", "it is the feed database itself"},
        {folder / "Database3-wal", database, "it is the feed database's write-ahead log"},
        {folder / "Database3-shm", folder / "link", "it is the feed database's shared-memory file"},
        {folder / "to-journal", database, "it is the feed database's journal"},
        {folder / "Database3-journal", folder / "sub" / "up" / "Database3", "it is the feed database's journal"},
        {folder / "sub", database, "it is a folder"},
        {folder, "", "it is a folder"},
        {folder / "sub" / "loop", database, "a loop of links"}};
    const int input = ::dup(0);   // descriptor 0 free: the files opened below may get it
    ::close(0);
    OutputFile out;   // one for all: each Open lets go of what the one before opened
    EXPECT_EQ(out.Open(folder / "new.atom", database), "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.string());
        EXPECT_EQ(out.Open(c.target, c.database), c.error);
        EXPECT_FALSE(out.Write("<feed/>"));
    }
    const fs::path working = fs::current_path();
    fs::current_path(folder);   // names as typed in that folder
    EXPECT_EQ(Export("Database3-journal", "Database3", "<feed/>"), "it is the feed database's journal");
    fs::current_path(working);
    EXPECT_EQ(Folder(folder), before);
    EXPECT_EQ(::fcntl(0, F_GETFD), -1) << "nothing left open";
    EXPECT_EQ(out.Open(folder / "sub" / "new.atom", database), "");
    EXPECT_EQ(out.Write("<feed/>") ? out.Commit() : out.Error(), "");
    EXPECT_EQ(Bytes(folder / "sub" / "new.atom") + std::to_string(::fcntl(0, F_GETFD)), "<feed/>-1");
    if (input >= 0) ::dup2(input, 0), ::close(input);
}

TEST(OutputFile, WritesToAPipeAsItIsAndSaysWhenItsReaderHasGone) {
    FixtureDb db;
    const fs::path fifo = fs::path(db.folder()) / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string read;
    std::thread reader([&] { read = Bytes(fifo); });
    EXPECT_EQ(Export(fifo, db.path(), "<feed/>\n"), "");
    reader.join();
    EXPECT_EQ(read, "<feed/>\n");
    EXPECT_TRUE(fs::is_fifo(fifo)) << "still the pipe, never replaced by a file";

    // A reader that leaves: the write fails with its reason, and the program goes on.
    OutputFile out;
    std::thread leaver([&] { ::close(::open(fifo.c_str(), O_RDONLY)); });
    ASSERT_EQ(out.Open(fifo, db.path()), "");
    leaver.join();
    EXPECT_FALSE(out.Write(std::string(1 << 20, 'x')));
    EXPECT_EQ(out.Error(), "Broken pipe");
    EXPECT_TRUE(fs::is_fifo(fifo));
    sigset_t mask;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    EXPECT_FALSE(sigismember(&mask, SIGPIPE)) << "the signal mask as it was";
}

}  // namespace
