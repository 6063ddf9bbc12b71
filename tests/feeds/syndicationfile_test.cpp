// What counts as a feed database, and deleting one: through a link the file it points to goes, with the
// side files SQLite keeps beside that file, and the link stays.
#include "feeds/SyndicationFile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/FixtureDb.h"
#include "tests/support/SqlTestHelpers.h"

namespace fs = std::filesystem;

namespace {

TEST(SyndicationFile, OnlyADatabaseWithSourcesAndArticlesIsAFeedDatabase) {
    const struct { const char* label; bool fixture; const char* sql; bool feeds; } cases[] = {
        {"the fixture", true, "", true},
        {"names in other letter cases", true, "ALTER TABLE Sources RENAME TO tmp; ALTER TABLE tmp RENAME TO SOURCES", true},
        {"no Articles", true, "DROP TABLE Articles", false},
        {"Articles only as a view", true, "DROP TABLE Articles; CREATE VIEW Articles AS SELECT 1", false},
        {"some other program's database", false, "CREATE TABLE Notes (id INTEGER PRIMARY KEY, text TEXT)", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        FixtureDb db(c.fixture);
        db.exec(c.sql);
        EXPECT_EQ(SyndicationFile::HasFeedTables(*Connected(db.path())), c.feeds);
        EXPECT_EQ(SyndicationFile::Check(db.path()).feedTables, c.feeds);
        SqlConnection unopened(db.path());
        EXPECT_FALSE(SyndicationFile::HasFeedTables(unopened));
    }
}

TEST(SyndicationFile, DeleteRemovesTheCheckedFileAndItsSideFilesAndKeepsALink) {
    FixtureDb db;
    const fs::path real = db.path(), dir = db.folder(), link = dir / "link" / "Database3";
    fs::create_directories(link.parent_path());
    fs::create_symlink(real, link);
    std::ofstream(link.string() + "-journal") << "beside the link: not the database's";
    const SyndicationFile::Checked checked = SyndicationFile::Check(link);
    // Written after the check, as the engine removes side files it finds on opening.
    for (const auto& side : SyndicationFile::SideFiles(real)) std::ofstream(side) << "x";
    EXPECT_EQ(checked.file, fs::canonical(real));
    EXPECT_TRUE(checked.feedTables && checked.identity);
    const SyndicationFile::Deletion deleted = SyndicationFile::Delete(checked);
    EXPECT_EQ(deleted.outcome, SyndicationFile::Deletion::Deleted);
    EXPECT_EQ(deleted.error, "");
    EXPECT_FALSE(fs::exists(real));
    for (const auto& side : SyndicationFile::SideFiles(real)) EXPECT_FALSE(fs::exists(side)) << side;
    EXPECT_TRUE(fs::is_symlink(link) && fs::exists(link.string() + "-journal"))
        << "the link stays, so the browser's new file is found through it, and so does what lies beside it";
    const SyndicationFile::Checked dangling = SyndicationFile::Check(link);   // nothing there to check
    EXPECT_FALSE(dangling.feedTables || dangling.identity);
    EXPECT_EQ(SyndicationFile::Delete(dangling).outcome, SyndicationFile::Deletion::NotTheCheckedFile);
    EXPECT_TRUE(fs::is_symlink(link));
}

// Between the check and the deletion the name comes to mean another file: that file stays, and so do the side files.
TEST(SyndicationFile, AFileThatIsNoLongerTheOneCheckedIsNotDeleted) {
    for (const bool movedOver : {false, true}) {
        SCOPED_TRACE(movedOver ? "another file moved over the checked one" : "the link re-pointed");
        FixtureDb checkedDb, other;
        const fs::path link = fs::path(checkedDb.folder()) / "Database3-link";
        fs::create_symlink(checkedDb.path(), link);
        const SyndicationFile::Checked checked = SyndicationFile::Check(link);
        ASSERT_TRUE(checked.feedTables && checked.identity);
        if (movedOver) {
            fs::rename(other.path(), checkedDb.path());
        } else {
            fs::remove(link);
            fs::create_symlink(other.path(), link);
        }
        std::ofstream(checkedDb.path() + "-journal") << "x";
        EXPECT_EQ(SyndicationFile::Delete(checked).outcome, SyndicationFile::Deletion::NotTheCheckedFile);
        EXPECT_TRUE(fs::exists(checkedDb.path() + "-journal"));
        EXPECT_EQ(checkedDb.state(), FixtureDb::kState);
        if (!movedOver) {
            EXPECT_EQ(other.state(), FixtureDb::kState);
        }
    }
}

}  // namespace
