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
        SqlConnection unopened(db.path());
        EXPECT_FALSE(SyndicationFile::HasFeedTables(unopened));
    }
}

TEST(SyndicationFile, DeleteRemovesTheRealFileAndItsSideFilesAndKeepsALink) {
    FixtureDb db;
    const fs::path real = db.path(), dir = db.folder(), link = dir / "link" / "Database3";
    fs::create_directories(link.parent_path());
    fs::create_symlink(real, link);
    for (const auto& side : SyndicationFile::SideFiles(real)) std::ofstream(side) << "x";
    std::ofstream(link.string() + "-journal") << "beside the link: not the database's";
    EXPECT_EQ(SyndicationFile::RealFile(link), fs::canonical(real));
    EXPECT_EQ(SyndicationFile::Delete(link), "");
    EXPECT_FALSE(fs::exists(real));
    for (const auto& side : SyndicationFile::SideFiles(real)) EXPECT_FALSE(fs::exists(side)) << side;
    EXPECT_TRUE(fs::is_symlink(link) && fs::exists(link.string() + "-journal"))
        << "the link stays, so the browser's new file is found through it, and so does what lies beside it";
    EXPECT_EQ(SyndicationFile::Delete(link), "");   // nothing left: the dangling link stays a link
    EXPECT_TRUE(fs::is_symlink(link));
}

}  // namespace
