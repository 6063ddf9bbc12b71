#include "feeds/ArticleExport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <regex>
#include <sstream>

#include "platform/SqlConnection.h"
#include "tests/support/FixtureDb.h"
#include "tests/support/SqlTestHelpers.h"

namespace {

using ArticleExport::Format;

struct Exported {
    std::string said;   ///< what went wrong: "no such feed", "write failed" or the engine's words; empty when done
    std::string document;
    std::size_t pieces = 0;
};

// The export as a sink takes it; accept (given the connection) says whether the sink takes each piece.
Exported Export(FixtureDb& db, const std::string& key, Format format = Format::Atom, bool flagged = false, bool unread = false,
                const std::function<bool(SqlConnection&)>& accept = {}) {
    SqlConnection connection(db.path());
    EXPECT_TRUE(connection.Connect());
    Exported e;
    const ArticleExport::Result r = ArticleExport::Write(connection, {key, flagged, unread, format}, 700000000.5, [&](std::string_view bytes) {
        e.document += bytes;
        ++e.pieces;
        return !accept || accept(connection);
    });
    e.said = r.noSuchFeed ? "no such feed" : r.writeFailed ? "write failed" : r.error;
    if (!accept) EXPECT_TRUE(BrowserCanWrite(db.path())) << "the read is over while the connection stays";
    return e;
}

// What each entry or item starts with, in document order: its id.
std::string Ids(const std::string& document) {
    static const std::regex id("(?:  <entry>\n    <id>|\\{\"id\": \")([^<\"]*)");
    std::string ids;
    for (std::sregex_iterator it(document.begin(), document.end(), id), end; it != end; ++it)
        ids += (ids.empty() ? "" : " ") + (*it)[1].str();
    return ids;
}

TEST(ArticleExport, NewestFirstByEveryDateTheEngineReadsAsANumberThenTheUndatedByKey) {
    FixtureDb db;
    // Without a declared type the column keeps text as text, as another program's file might.
    db.exec("DROP TABLE Articles; CREATE TABLE Articles (id INTEGER PRIMARY KEY, source_id INTEGER, author TEXT, title TEXT, "
            "contentType INT, contents TEXT, excerpt TEXT, GUID TEXT, permalink TEXT, iconURL TEXT, categories TEXT, date, "
            "dateReceived, unread INT, flagged INT, collapsed INT, noComments INT);"
            "INSERT INTO Articles (id, source_id, GUID, date, dateReceived, flagged) VALUES "
            "(1, 1, 'k:1', 141617700, 141617760.25, 1), (2, 1, 'k:2', NULL, 'soon', 0), (3, 1, 'k:3', ' 141617800.5 ', NULL, 1),"
            "(4, 1, 'k:4', 'Tue, 28 Jun 2005', 12, 0), (5, 1, 'k:5', -1.5, NULL, 1), (6, 1, 'k:6', 1e300, NULL, 0),"
            "(7, 1, 'k:7', 141617700, NULL, 0), (8, 3, 'k:8', 999999999, NULL, 1), (9, 1, 'k:9', x'3130', NULL, 0)");
    const Exported atom = Export(db, "1");
    EXPECT_EQ(atom.said, "");
    EXPECT_EQ(Ids(atom.document), "k:3 k:1 k:7 k:5 k:2 k:4 k:6 k:9");
    EXPECT_NE(atom.document.find("  <updated>2005-06-28T02:16:40.5Z</updated>\n  <link"), std::string::npos)
        << "the feed's time is its newest article's";
    EXPECT_NE(atom.document.find("<id>k:1</id>\n    <title></title>\n    <updated>2005-06-28T02:16:00.25Z</updated>\n"
                                 "    <published>2005-06-28T02:15:00Z</published>"), std::string::npos);
    EXPECT_NE(atom.document.find("<id>k:4</id>\n    <title></title>\n    <updated>2001-01-01T00:00:12Z</updated>\n  </entry>"),
              std::string::npos);

    // Every feed's flagged articles, each naming its feed.
    const std::string flagged = Export(db, "", Format::Atom).document;
    EXPECT_EQ(Ids(flagged), "k:8 k:3 k:1 k:5");
    EXPECT_NE(flagged.find("<feed xmlns=\"http://www.w3.org/2005/Atom\">\n  <title>Flagged articles</title>\n  <id>tag:brindlex.invalid,2001:flagged</id>\n"
                           "  <updated>2032-09-09T01:46:39Z</updated>\n  <author><name>Flagged articles</name></author>\n"
                           "  <generator>BrindleX</generator>\n  <entry>\n    <id>k:8</id>\n    <title></title>\n"
                           "    <updated>2032-09-09T01:46:39Z</updated>\n    <published>2032-09-09T01:46:39Z</published>\n    <source>\n"
                           "      <id>http://rss.slashdot.org/Slashdot/slashdot</id>\n      <title>Slashdot</title>\n"
                           "      <link href=\"http://slashdot.org/\"/>\n      <link rel=\"via\" href=\"http://rss.slashdot.org/Slashdot/slashdot\"/>\n"
                           "      <author><name>Slashdot</name></author>\n    </source>\n  </entry>\n"), std::string::npos);
    EXPECT_NE(Export(db, "", Format::JsonFeed).document.find("\"_source\": {\"title\": \"Slashdot\", \"feed_url\": "
              "\"http://rss.slashdot.org/Slashdot/slashdot\", \"home_page_url\": \"http://slashdot.org/\"}}"), std::string::npos);
}

// Times as the C library's calendar has them: every day of 1999 to 2100 (leap days, a 400-year and a 100-year turn)
// and every 97th day of the years 1 to 9999, each at another time of day or at midnight; fractions to the microsecond.
TEST(ArticleExport, TimesAreRfc3339InUtcAsTheCalendarHasThem) {
    for (long long day = -730485; day <= 2921573; day += day >= -731 && day < 36524 ? 1 : 97) {
        const long long second = day % 3 == 0 ? 0 : (day * 7919 % 86400 + 86400) % 86400;
        const std::time_t unix = day * 86400 + second + 978307200;
        std::tm tm{};
        gmtime_r(&unix, &tm);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                      tm.tm_hour, tm.tm_min, tm.tm_sec);
        ASSERT_EQ(ArticleExport::Rfc3339(static_cast<double>(day * 86400 + second)), expected) << "day " << day;
    }
    for (const auto& [seconds, text] : std::vector<std::pair<double, std::string>>{
             {252423993599.75, "9999-12-31T23:59:59.75Z"}, {-0.0000001, "2001-01-01T00:00:00Z"},   // rounded, carried
             {0.999999, "2001-01-01T00:00:00.999999Z"}, {12.000001, "2001-01-01T00:00:12.000001Z"}})
        EXPECT_EQ(ArticleExport::Rfc3339(seconds), text);
}

// Whatever SQLite holds comes out as text a parser takes: markup stays text, broken UTF-8 and what XML cannot
// carry become U+FFFD, JSON keeps every valid character. Ids: a GUID that is an absolute IRI, else a tag URI.
// An entry's other members (link, categories, content or summary, author) cli_interop reads back from hostile rows.
TEST(ArticleExport, HostileTextIsCarriedAsTextAndIdsAreIrisOrStableTags) {
    FixtureDb db;
    // Article 6's title: UTF-8 at each edge of what is well-formed, each piece after a "|", the last one cut short.
    db.exec("UPDATE Sources SET title='A & B <i>', URL='not a url' WHERE id=1; DELETE FROM Articles WHERE source_id=1;"
            "INSERT INTO Articles (id, source_id, title, contents, GUID, permalink, date) VALUES "
            "(1, 1, 'x < y & \"z\"' || char(1, 13, 10) || CAST(x'ff41c3' AS TEXT) || char(65534), '<p>]]>&amp;</p>', "
            "'urn:uuid:6e8bc430', 'http://e.example/?a=1&b=\"2\"', 20);"
            "INSERT INTO Articles (id, source_id, GUID, date, categories, author, excerpt) VALUES "
            "(2, 1, 'post 2: é/%', 10, ' a ,b' || char(10, 9) || 'c,,', 'Ann', 'E<1>'), (3, 1, NULL, NULL, NULL, NULL, NULL);"
            "INSERT INTO Articles (id, source_id, title, date) VALUES (6, 1, CAST(x'c1807cc2807cdfbf7ce09fbf7ce0a0807ced9fbf7ceda0807cefbfbf7cf08fbfbf"
            "7cf09080807cf48fbfbf7cf49080807cf5807ce2827c807cf09f98' AS TEXT), 2)");
    const std::string atom = Export(db, "1").document;
    EXPECT_EQ(atom.substr(0, atom.find("  <entry>")),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\">\n  <title>A &amp; B &lt;i&gt;</title>\n"
              "  <id>tag:brindlex.invalid,2001:feed-key:1</id>\n  <updated>2001-01-01T00:00:20Z</updated>\n"
              "  <link href=\"http://www.apple.com/hotnews/\"/>\n  <link rel=\"via\" href=\"not a url\"/>\n"
              "  <author><name>A &amp; B &lt;i&gt;</name></author>\n  <generator>BrindleX</generator>\n");
    EXPECT_NE(atom.find("<id>urn:uuid:6e8bc430</id>\n    <title>x &lt; y &amp; \"z\"\xEF\xBF\xBD&#13;\n"
                        "\xEF\xBF\xBD" "A\xEF\xBF\xBD\xEF\xBF\xBD</title>"), std::string::npos);
    EXPECT_NE(atom.find("<id>tag:brindlex.invalid,2001:feed:not%20a%20url:guid:post%202%3A%20%C3%A9/%25</id>"), std::string::npos);
    EXPECT_NE(atom.find("<published>2001-01-01T00:00:10Z</published>\n    <author><name>Ann</name></author>\n    <category term=\"a\"/>\n    <category term=\"b\"/>\n"
                        "    <category term=\"c\"/>\n    <summary>E&lt;1&gt;</summary>\n  </entry>"), std::string::npos);
    EXPECT_NE(atom.find("<id>tag:brindlex.invalid,2001:feed:not%20a%20url:key:3</id>\n    <title></title>\n"
                        "    <updated>2023-03-08T20:26:40.5Z</updated>\n  </entry>"), std::string::npos);
    const std::string edges = "\xEF\xBF\xBD\xEF\xBF\xBD|\xC2\x80|\xDF\xBF|\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xE0\xA0\x80|\xED\x9F\xBF|"
                              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBF|\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xF0\x90\x80\x80|"
                              "\xF4\x8F\xBF\xBF|\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD";
    std::string xmlEdges = edges;
    xmlEdges.replace(xmlEdges.find("\xEF\xBF\xBF"), 3, "\xEF\xBF\xBD");
    EXPECT_NE(atom.find("<title>" + xmlEdges + "</title>"), std::string::npos) << "XML cannot carry U+FFFF";

    const std::string json = Export(db, "1", Format::JsonFeed).document;
    EXPECT_EQ(json.substr(0, json.find("\"content_html\"")),
              "{\n  \"version\": \"https://jsonfeed.org/version/1.1\",\n  \"title\": \"A & B <i>\",\n  \"home_page_url\": \"http://www.apple.com/hotnews/\",\n"
              "  \"feed_url\": \"not a url\",\n  \"items\": [\n    {\"id\": \"urn:uuid:6e8bc430\", \"url\": \"http://e.example/?a=1&b=\\\"2\\\"\", "
              "\"title\": \"x < y & \\\"z\\\"\\u0001\\r\\n\xEF\xBF\xBD" "A\xEF\xBF\xBD\xEF\xBF\xBE\", ");
    EXPECT_NE(json.find("\"title\": \"" + edges + "\""), std::string::npos);
    EXPECT_NE(json.find("\"content_text\": \"E<1>\", \"summary\": \"E<1>\", \"date_published\": \"2001-01-01T00:00:10Z\", "
                        "\"authors\": [{\"name\": \"Ann\"}], \"tags\": [\"a\", \"b\", \"c\"]"), std::string::npos);
}

// An id is the GUID itself only when that is an absolute IRI (RFC 3987): a scheme of a letter and then letters,
// digits, "+", "-" or "."; a colon; then something, of no spaces, controls, excluded characters, broken escapes or
// noncharacters. y: the GUID is the id.
TEST(ArticleExport, TheGuidIsTheIdWhenItIsAnAbsoluteIri) {
    const std::pair<std::string, char> cases[] = {
        {"a:b", 'y'}, {":b", 'n'}, {"a:", 'n'}, {"ab", 'n'}, {"Z9+-.:x", 'y'}, {"9a:x", 'n'}, {"a_b:x", 'n'}, {"a:%4f%A0", 'y'},
        {"a:%4g", 'n'}, {"a:%g4", 'n'}, {"a:x%", 'n'}, {"a: b", 'n'}, {"a:b c", 'n'}, {"a:b\x7f", 'n'}, {"a:{b}", 'n'},
        {"a:\xC2\x85", 'n'}, {"a:\xC2\xA0", 'y'}, {"a:\xEF\xB7\x8F", 'y'}, {"a:\xEF\xB7\x90", 'n'}, {"a:\xEF\xB7\xAF", 'n'},
        {"a:\xEF\xB7\xB0", 'y'}, {"a:\xEF\xBF\xBE", 'n'}, {"a:\xF0\x9F\xBF\xBF", 'n'}, {"a:\xF0\x90\x80\x80", 'y'}, {"a:\xFF", 'n'}};
    FixtureDb db;
    std::string expected, got;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        db.exec("INSERT INTO Articles (id, source_id, GUID, date) VALUES (" + std::to_string(3000 + i) + ", 8, '" + cases[i].first + "', -" +
                std::to_string(i) + ")");
        expected += cases[i].second;
    }
    std::istringstream ids(Ids(Export(db, "8", Format::JsonFeed).document));
    std::string id;
    for (std::size_t i = 0; ids >> id; ++i) got += i < std::size(cases) && id == cases[i].first ? 'y' : 'n';
    EXPECT_EQ(got, expected);
}

// Large stores pass through a small buffer; a missing feed or a failed statement gives nothing at all; a sink that
// refuses stops the export, and a step that fails halfway is an error, not a short document.
TEST(ArticleExport, StreamsInSmallPiecesAndStopsAtTheFirstFailure) {
    FixtureDb db;
    db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
            "INSERT INTO Articles (id, source_id, title, contents, date, unread) SELECT 10000 + i, 3, 'T' || i, printf('%.1000c', 'x'), i, 1 "
            "FROM n");
    const Exported big = Export(db, "3", Format::Atom, false, true);
    const std::string ids = Ids(big.document);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), ' ') + 1, 3000) << "--unread: the fixture's one read article left out";
    EXPECT_GT(big.document.size(), 3000000u);
    EXPECT_TRUE(big.pieces > 40 && big.pieces < 80) << big.pieces;

    const Exported refused = Export(db, "3", Format::Atom, false, false, [](SqlConnection&) { return false; });
    EXPECT_EQ(refused.said + " " + std::to_string(refused.pieces), "write failed 1") << "not asked again";
    EXPECT_EQ(Export(db, "3", Format::JsonFeed, false, false, [](SqlConnection& c) { c.Interrupt(); return true; }).said, "interrupted");
    const Exported missing = Export(db, "5", Format::JsonFeed);   // whatever the format, nothing is written
    EXPECT_EQ(missing.said + missing.document, "no such feed");
    db.exec("ALTER TABLE Articles DROP COLUMN excerpt");
    const Exported failed = Export(db, "3");
    EXPECT_EQ(failed.said + failed.document, "no such column: Articles.excerpt");
}

}  // namespace
