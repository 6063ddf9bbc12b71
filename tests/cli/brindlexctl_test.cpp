// brindlexctl as people and scripts run it: the built program in a process, on fixture databases, with its
// preferences and browser-control script in a temporary home.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <regex>

#include "tests/support/FixtureDb.h"
#include "tests/support/gui/FileBytes.h"

namespace {

struct Outcome { int status = -1; std::string out, err; };

std::string Bytes(const QString& path) { return ReadFile(path).toStdString(); }

struct Brindlexctl : ::testing::Test {
    void SetUp() override {
        // The program and the test see the same folders: the preferences and the default database live here.
        qputenv("HOME", home_.path().toUtf8());
        qputenv("XDG_DATA_HOME", home_.filePath("data").toUtf8());
        qputenv("BRINDLEX_BROWSER_CONTROL", home_.filePath("browser-control").toUtf8());
        qputenv("BRINDLEX_RESTART_WAIT_MS", "0");
        // The stand-in script logs each command; "Start" fails while a file "fail" is there.
        WriteFile(home_.filePath("browser-control"), "#!/bin/sh\nd='" + home_.path().toUtf8() +
                  "'\necho \"$1\" >> \"$d/commands.log\"\n[ \"$1\" != Start ] || [ ! -f \"$d/fail\" ]\n");
        QFile::setPermissions(home_.filePath("browser-control"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void TearDown() override {
        // Nothing may have made a default database, nor (unless the test did) the preferences or their folder.
        EXPECT_FALSE(QFile::exists(home_.filePath("data/BrindleX/Syndication")));
        EXPECT_TRUE(prefsWritten_ || (!QFile::exists(home_.filePath("data/BrindleX")) && !QFile::exists(home_.filePath("Library"))));
    }

    std::string Commands() { return QFile::exists(home_.filePath("commands.log")) ? Bytes(home_.filePath("commands.log")) : ""; }

    static Outcome Ctl(const QStringList& arguments, const QString& output = {}, const QString& program = BRINDLEXCTL) {
        QProcess process;
        if (!output.isEmpty()) process.setStandardOutputFile(output);
        process.start(program, arguments);
        if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit) return {};
        return {process.exitCode(), process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
    }

    QTemporaryDir home_;
    bool prefsWritten_ = false;
};

TEST_F(Brindlexctl, CommandsShowAndChangeTheDatabase) {
    const struct { const char* name; const char* sql; QStringList args; std::string out; const char* state; const char* commands; } cases[] = {
        {"list", "UPDATE Sources SET title='Slash'||char(27)||'[2Jdot'||char(8238)||'!'||char(8232) WHERE id=3; DELETE FROM Sources WHERE id IN (2,7)", {"list"},
         "KEY  ARTICLES  UNREAD  SUBSCRIBED  TITLE\n"
         "  8         0       0  yes         http://www.macosxhints.com/backend/geeklog.rdf\n"
         "  1         2       1  yes         Apple Hot News\n"
         "  3         1       0  yes         Slash?[2Jdot?!?\n", "2003:1 2101:0 2102:1 2103:1 2104:0 2105:1 / 1 3 4 6 8", ""},
        {"totals of all feeds as JSON", "UPDATE Articles SET unread=9 WHERE id=2102", {"totals", "--all", "--json"}, R"({"articles":6,"sources":7,"unread":12})",
         "2003:1 2101:0 2102:9 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8", ""},
        {"totals without articles", "DELETE FROM Articles", {"totals", "--json"}, R"({"articles":0,"sources":5,"unread":0})", " / 1 2 3 4 6 7 8", ""},
        {"list as JSON", "DELETE FROM Sources WHERE id NOT IN (3, 8); UPDATE Articles SET unread=2.5 WHERE source_id=3", {"list", "--json"},
         R"([{"articles":0,"homePage":null,"id":8,"subscribed":true,"title":"","unread":0,"url":"http://www.macosxhints.com/backend/geeklog.rdf"},)"
         R"({"articles":1,"homePage":"http://slashdot.org/","id":3,"subscribed":true,"title":"Slashdot","unread":2,"url":"http://rss.slashdot.org/Slashdot/slashdot"}])",
         "2003:1 2101:0 2102:1 2103:1 2104:2.5 2105:1 / 3 8", ""},
        {"no flagged articles as JSON Feed, to a file that is not a regular one", "UPDATE Articles SET flagged=0", {"export-articles", "--flagged", "--format", "json", "-o", "/dev/stdout"},
         R"({"items":[],"title":"Flagged articles","version":"https://jsonfeed.org/version/1.1"})",
         "2003:1 2101:0 2102:1 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8", ""},
        {"mark read", "", {"mark-read", "1"}, "", "2003:1 2101:0 2102:0 2103:1 2104:0 2105:1 / 1 2 3 4 6 7 8", ""},
        {"mark unread", "", {"mark-unread", "3"}, "", "2003:1 2101:0 2102:1 2103:1 2104:1 2105:1 / 1 2 3 4 6 7 8", ""},
        {"mark all read", "", {"mark-all-read"}, "", "2003:0 2101:0 2102:0 2103:0 2104:0 2105:0 / 1 2 3 4 6 7 8", ""},
        {"reset without restart", "", {"reset", "3", "--no-restart"}, "", "2003:1 2101:0 2102:1 2103:1 2105:1 / 1 2 4 6 7 8", ""},
        {"reset", "", {"reset", "7"}, "", "2003:1 2101:0 2102:1 2103:1 2104:0 / 1 2 3 4 6 8", "Quit\nStart\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDb fixture;
        fixture.exec(c.sql);
        QFile::remove(home_.filePath("commands.log"));
        const Outcome o = Ctl(c.args + QStringList{"--database", QString::fromStdString(fixture.path())});
        EXPECT_EQ(std::to_string(o.status) + o.err, "0");
        const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(o.out));
        EXPECT_EQ(json.isNull() ? o.out : json.toJson(QJsonDocument::Compact).toStdString(), c.out);
        EXPECT_EQ(fixture.state(), c.state);
        EXPECT_EQ(Commands(), c.commands);
    }
}

// Without --database the preferences name the database, and are never rewritten; preferences that cannot be read
// do not say which database is meant: nothing is guessed (neither the default database nor any other is touched).
TEST_F(Brindlexctl, WithoutADatabaseNamedTakesThePreferencesOnesAndNeverMakesTheDefault) {
    EXPECT_EQ(Ctl({"totals"}).status, 1);   // no preferences: the default database, which is not there
    QFile::link(BRINDLEXCTL, home_.filePath("ctl"));   // named otherwise, it still says its own name
    EXPECT_EQ(Ctl({"list", "--version"}, {}, home_.filePath("ctl")).out, "brindlexctl " BRINDLEX_VERSION "\n");
    const Outcome help = Ctl({"--help"});
    EXPECT_TRUE(help.status == 0 && help.out.rfind("Usage: brindlexctl [options] command [KEY]\nLists and changes the feeds", 0) == 0 &&
                help.out.find("\n  -o, --output <FILE>") != std::string::npos && help.out.size() - help.out.find_last_not_of('\n') == 2) << help.out;
    FixtureDb fixture;
    const QString linuxPrefs = home_.filePath("data/BrindleX/Preferences/Brindle.plist");
    const auto writePrefs = [&](const std::string& text) {   // as each system has them
        prefsWritten_ = true;
        for (const QString& file : {linuxPrefs, home_.filePath("Library/Preferences/Brindle.plist")})
            WriteFile(file, QByteArray::fromStdString(text));
    };
    const std::string prefs = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                              "\t<key>DatabaseFileName</key>\n\t<string>" + fixture.path() + "</string>\n</dict>\n</plist>\n";
    writePrefs(prefs);
    EXPECT_EQ(Ctl({"totals"}).out, "sources   5\narticles  5\nunread    3\n");
    EXPECT_EQ(Bytes(linuxPrefs), prefs) << "read, never rewritten";

    // A reset whose browser restart fails has still reset the feed, and says so.
    WriteFile(home_.filePath("fail"), "");
    const Outcome reset = Ctl({"reset", "1"});
    EXPECT_EQ(std::to_string(reset.status) + " " + reset.err,
              "1 brindlexctl: the feed was reset, but the browser was not restarted: \"Start\" ended with status 1\n");
    const std::string afterReset = "2003:1 2103:1 2104:0 2105:1 / 2 3 4 6 7 8";
    EXPECT_EQ(fixture.state(), afterReset);

    const std::string unreadable = "not a property list at all\n";   // what the reader makes of other forms, plist_tests show
    writePrefs(unreadable);
    const Outcome refused = Ctl({"mark-all-read"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(std::regex_match(refused.err, std::regex("brindlexctl: [^\n]*Brindle\\.plist[^\n]*--database[^\n]*\n"))) << refused.err;
    EXPECT_EQ(fixture.state(), afterReset);
    EXPECT_EQ(Bytes(linuxPrefs), unreadable);
    EXPECT_EQ(Ctl({"mark-all-read", "--database", QString::fromStdString(fixture.path())}).status, 0);
    EXPECT_EQ(fixture.state(), "2003:0 2103:0 2104:0 2105:0 / 2 3 4 6 7 8");
}

TEST_F(Brindlexctl, BadInputsFailWithTheirStatusAndOneLineAndLeaveTheFileAsItWas) {
    enum Db { Fixture, Missing, NoTables };
    const QString out = home_.filePath("articles.atom"), link = home_.filePath("link");   // link: to the fixture
    const std::string itself = "cannot write " + link.toStdString() + ": it is the feed database itself";
    const struct { Db db; QStringList args; int status; std::string said; } cases[] = {   // said: the line, if not any
        // A wrong command line, told before any database is opened: one of each reason.
        {Fixture, {}, 2}, {Missing, {"frobnicate"}, 2}, {Fixture, {"mark-read"}, 2, "mark-read needs the key of a feed"}, {Fixture, {"reset", "0x1"}, 2},
        {Fixture, {"mark-read", "1", "2"}, 2}, {Fixture, {"list", "--bogus"}, 2, "Unknown option 'bogus'"}, {Fixture, {"mark-all-read", "--all"}, 2},
        {Fixture, {"export-articles"}, 2, "export-articles needs the key of a feed, or --flagged"}, {Fixture, {"export-articles", "1", "--format", "rss"}, 2},
        // no such feed, a file that cannot be written, a database that cannot be opened or has no feed tables:
        {Fixture, {"mark-read", "999"}, 1}, {Fixture, {"mark-unread", "999"}, 1, "no feed has the key 999"}, {Fixture, {"reset", "5"}, 1},
        {Fixture, {"export-articles", "5", "-o", out}, 1}, {NoTables, {"export-articles", "--flagged", "-o", out}, 1},
        // -o naming the database (OutputFile's tests show it named in every way): refused, never replaced through the link
        {Fixture, {"export-opml", "-o", link}, 1, itself}, {Fixture, {"export-articles", "1", "-o", link}, 1, itself},
        {Missing, {"mark-all-read"}, 1}, {NoTables, {"list", "--json"}, 1}, {NoTables, {"totals"}, 1},
        {NoTables, {"mark-read", "1"}, 1}, {NoTables, {"mark-all-read"}, 1}};
    FixtureDb fixture, empty(false);
    QFile::link(QString::fromStdString(fixture.path()), link);
    const std::string paths[] = {fixture.path(), fixture.folder() + "/Missing3", empty.path()};
    for (const auto& c : cases) {
        const QString path = QString::fromStdString(paths[c.db]);
        SCOPED_TRACE((c.args.join(' ') + " on " + path).toStdString());
        const std::string before = Bytes(path);
        const Outcome o = Ctl(c.args + QStringList{"--database", path});
        EXPECT_EQ(o.status, c.status);
        EXPECT_EQ(o.out, "");
        if (!c.said.empty()) EXPECT_EQ(o.err, "brindlexctl: " + c.said + (c.status == 2 ? " (see brindlexctl --help)" : "") + "\n");
        else EXPECT_TRUE(std::regex_match(o.err, std::regex("brindlexctl: [^\n]+\n"))) << o.err;
        EXPECT_EQ(Bytes(path), before);
    }
    const Outcome full = Ctl({"list", "--database", QString::fromStdString(fixture.path())}, "/dev/full");
    EXPECT_EQ(std::to_string(full.status) + " " + full.err, "1 brindlexctl: cannot write to standard output\n");
    EXPECT_EQ(Commands(), "") << "the browser was not restarted";
    EXPECT_FALSE(QFile::exists(out)) << "nothing written";
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);   // for QProcess
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
