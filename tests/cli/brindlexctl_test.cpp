// brindlexctl as people and scripts run it: the built program in a process, on fixture databases, with its
// preferences and browser-control script in a temporary home.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>

#include "tests/support/FixtureDb.h"

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Article id:unread pairs, then the Sources keys: all that the commands may change.
const char* const kFixtureState = "2003:1 2101:0 2102:1 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8";

std::string State(FixtureDb& fixture) {
    return fixture.query("SELECT group_concat(id||':'||unread, ' ') FROM (SELECT id, unread FROM Articles ORDER BY id)") + " / " +
           fixture.query("SELECT group_concat(id, ' ') FROM (SELECT id FROM Sources ORDER BY id)");
}

std::optional<std::string> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class Brindlexctl : public ::testing::Test {
protected:
    void SetUp() override {
        // The program and the test see the same folders: the preferences and the default database live here.
        for (const char* name : {"HOME", "XDG_DATA_HOME", "BRINDLEX_BROWSER_CONTROL", "BRINDLEX_RESTART_WAIT_MS"})
            saved_.emplace_back(name, qgetenv(name));
        qputenv("HOME", home_.path().toUtf8());
        qputenv("XDG_DATA_HOME", home_.filePath("data").toUtf8());
        qputenv("BRINDLEX_BROWSER_CONTROL", home_.filePath("browser-control").toUtf8());
        qputenv("BRINDLEX_RESTART_WAIT_MS", "0");
        // The stand-in script logs each command; "Start" fails while a file "fail" is there.
        Write("browser-control", "#!/bin/sh\nd='" + home_.path().toUtf8() +
                                     "'\necho \"$1\" >> \"$d/commands.log\"\n[ \"$1\" != Start ] || [ ! -f \"$d/fail\" ]\n");
        QFile::setPermissions(home_.filePath("browser-control"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) value.isNull() ? qunsetenv(name) : qputenv(name, value);
        // Nothing may have made the preferences, their folder, or a default database.
        EXPECT_FALSE(QFile::exists(home_.filePath("data/BrindleX/Syndication"))) << "a default database was made";
        if (!prefsWritten_) {
            EXPECT_FALSE(QFile::exists(home_.filePath("data/BrindleX"))) << "the preferences were written";
            EXPECT_FALSE(QFile::exists(home_.filePath("Library")));
        }
    }

    void Write(const QString& name, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(home_.filePath(name)).absolutePath());
        QFile f(home_.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    std::string Commands() { return Bytes(home_.filePath("commands.log").toStdString()).value_or(""); }

    static Outcome Ctl(const QStringList& arguments) {
        QProcess process;
        process.start(BRINDLEXCTL, arguments);
        Outcome o;
        if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit) return o;
        o.status = process.exitCode();
        o.out = process.readAllStandardOutput().toStdString();
        o.err = process.readAllStandardError().toStdString();
        return o;
    }

    QTemporaryDir home_;
    bool prefsWritten_ = false;
    std::vector<std::pair<const char*, QByteArray>> saved_;
};

TEST_F(Brindlexctl, CommandsShowAndChangeTheDatabase) {
    const std::string apple = R"({"articles":2,"homePage":"http://www.apple.com/hotnews/","id":1,"subscribed":true,)"
                              R"("title":"Apple Hot News","unread":1,"url":"http://www.apple.com/main/rss/hotnews/hotnews.rss"})";
    const struct { const char* name; const char* sql; QStringList args; std::string out; const char* state; const char* commands; } cases[] = {
        {"list", "UPDATE Sources SET title='Slash'||char(27)||'[2Jdot' WHERE id=3", {"list"},
         "KEY  ARTICLES  UNREAD  SUBSCRIBED  TITLE\n"
         "  8         0       0  yes         http://www.macosxhints.com/backend/geeklog.rdf\n"
         "  1         2       1  yes         Apple Hot News\n"
         "  2         1       1  yes         iTunes 25 New Releases\n"
         "  3         1       0  yes         Slash?[2Jdot\n"
         "  7         1       1  yes         The Unofficial Apple Weblog (TUAW)\n", kFixtureState, ""},
        {"list as JSON", "DELETE FROM Sources WHERE id NOT IN (1,4,8)", {"list", "--all", "--json"},
         R"([{"articles":0,"homePage":null,"id":8,"subscribed":true,"title":"","unread":0,"url":"http://www.macosxhints.com/backend/geeklog.rdf"},)" +
             apple + R"(,{"articles":0,"homePage":"http://slashdot.org/","id":4,"subscribed":false,"title":"Slashdot","unread":0,"url":"http://slashdot.org/index.rss"}])",
         "2003:1 2101:0 2102:1 2103:1 2104:0 2105:1 / 1 4 8", ""},
        {"totals", "", {"totals"}, "sources   4\narticles  5\nunread    3\n", kFixtureState, ""},
        {"totals of all feeds as JSON", "", {"totals", "--all", "--json"}, R"({"articles":6,"sources":6,"unread":4})", kFixtureState, ""},
        {"totals without articles", "DELETE FROM Articles", {"totals", "--json"}, R"({"articles":0,"sources":4,"unread":0})", " / 1 2 3 4 6 7 8", ""},
        {"mark read", "", {"mark-read", "1"}, "", "2003:1 2101:0 2102:0 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8", ""},
        {"mark unread", "", {"mark-unread", "3"}, "", "2003:1 2101:0 2102:1 2103:1 2104:1 2105:1 / 1 2 3 4 6 7 8", ""},
        {"mark all read", "", {"mark-all-read"}, "", "2003:0 2101:0 2102:0 2103:0 2104:0 2105:0 / 1 2 3 4 6 7 8", ""},
        {"reset without restart", "", {"reset", "3", "--no-restart"}, "", "2003:1 2101:0 2102:1 2103:1 2105:1 / 1 2 4 6 7 8", ""},
        {"reset", "", {"reset", "7"}, "", "2003:1 2101:0 2102:1 2103:1 2104:0 / 1 2 3 4 6 8", "Quit\nStart\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDb fixture;
        fixture.exec(c.sql);
        QFile::remove(home_.filePath("commands.log"));
        const Outcome o = Ctl(c.args + QStringList{"--database", QString::fromStdString(fixture.path())});
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.err, "");
        const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(o.out));
        EXPECT_EQ(json.isNull() ? o.out : json.toJson(QJsonDocument::Compact).toStdString(), c.out);
        EXPECT_EQ(State(fixture), c.state);
        EXPECT_EQ(Commands(), c.commands);
    }
}

TEST_F(Brindlexctl, ExportsTheFeedsAndFindsTheDatabaseThroughThePreferences) {
    FixtureDb fixture;
    const QString opml = home_.filePath("feeds.opml");
    EXPECT_EQ(Ctl({"export-opml", "-o", opml, "--database", QString::fromStdString(fixture.path())}).out, "");
    const Outcome all = Ctl({"export-opml", "--all", "--database", QString::fromStdString(fixture.path())});
    const auto outlines = [](const std::string& text) {
        std::size_t n = 0;
        for (std::size_t at = text.find("<outline "); at != std::string::npos; at = text.find("<outline ", at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(outlines(Bytes(opml.toStdString()).value_or("")), 5u);
    EXPECT_EQ(outlines(all.out), 7u);
    EXPECT_EQ(all.status, 0);

    // Without --database, the database the preferences name; the file is read, never rewritten.
    const QByteArray prefs = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                             "\t<key>DatabaseFileName</key>\n\t<string>" + QByteArray::fromStdString(fixture.path()) +
                             "</string>\n</dict>\n</plist>\n";
    prefsWritten_ = true;
    Write("data/BrindleX/Preferences/Brindle.plist", prefs);
#ifdef Q_OS_MACOS
    Write("Library/Preferences/Brindle.plist", prefs);
#endif
    const Outcome totals = Ctl({"totals"});
    EXPECT_EQ(totals.out, "sources   4\narticles  5\nunread    3\n");
    EXPECT_EQ(Bytes(home_.filePath("data/BrindleX/Preferences/Brindle.plist").toStdString()), prefs.toStdString());

    EXPECT_EQ(Ctl({"list", "--version"}).out, "brindlexctl " BRINDLEX_VERSION "\n");

    // A reset whose browser restart fails has still reset the feed, and says so.
    Write("fail", "");
    const Outcome reset = Ctl({"reset", "1", "--database", QString::fromStdString(fixture.path())});
    EXPECT_EQ(reset.status, 1);
    EXPECT_EQ(reset.err, "brindlexctl: the feed was reset, but the browser was not restarted: \"Start\" ended with status 1\n");
    EXPECT_EQ(State(fixture), "2003:1 2103:1 2104:0 2105:1 / 2 3 4 6 7 8");
}

TEST_F(Brindlexctl, BadInputsFailWithTheirStatusAndLeaveTheFileAsItWas) {
    enum Db { Fixture, Missing, Text, NoTables };
    const struct { Db db; QStringList args; int status; } cases[] = {
        {Fixture, {}, 2},
        {Fixture, {"frobnicate"}, 2},
        {Fixture, {"mark-read"}, 2},
        {Fixture, {"mark-unread", "1x"}, 2},
        {Fixture, {"reset", "0x1"}, 2},
        {Fixture, {"mark-read", "1.0"}, 2},
        {Fixture, {"mark-read", " 1"}, 2},
        {Fixture, {"mark-read", "-1"}, 2},   // an option to the parser; "-- -1" would be a key
        {Fixture, {"mark-read", "1", "2"}, 2},
        {Fixture, {"list", "--bogus"}, 2},
        {Fixture, {"mark-all-read", "--all"}, 2},
        {Fixture, {"reset", "1", "--json"}, 2},
        {Fixture, {"export-opml", "-o"}, 2},
        {Fixture, {"mark-read", "999"}, 1},
        {Fixture, {"reset", "5"}, 1},
        {Fixture, {"export-opml", "-o", "/nonexistent/feeds.opml"}, 1},
        {Missing, {"frobnicate"}, 2},
        {Missing, {"list"}, 1},
        {Missing, {"mark-all-read"}, 1},
        {Text, {"totals"}, 1},
        {Text, {"mark-read", "1"}, 1},
        {NoTables, {"list", "--json"}, 1},
        {NoTables, {"totals"}, 1},
        {NoTables, {"mark-read", "1"}, 1},
        {NoTables, {"mark-all-read"}, 1},
    };
    FixtureDb fixture, empty(false);
    const std::string text = fixture.folder() + "/notes.txt", missing = fixture.folder() + "/Missing3";
    std::ofstream(text) << "SQLite format 3? no, notes\n";
    for (const auto& c : cases) {
        const std::string path = c.db == Fixture ? fixture.path() : c.db == Missing ? missing : c.db == Text ? text : empty.path();
        SCOPED_TRACE(c.args.join(' ').toStdString() + " on " + path);
        const std::optional<std::string> before = Bytes(path);
        const Outcome o = Ctl(c.args + QStringList{"--database", QString::fromStdString(path)});
        EXPECT_EQ(o.status, c.status);
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.err.rfind("brindlexctl: ", 0), 0u) << o.err;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
        EXPECT_EQ(Bytes(path), before);
    }
    // Nor does the default database come into being when nothing names another.
    EXPECT_EQ(Ctl({"totals"}).status, 1);
    EXPECT_EQ(Commands(), "");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);   // for QProcess
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
