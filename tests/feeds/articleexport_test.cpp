#include "feeds/ArticleExport.h"

#include <gtest/gtest.h>

#include <regex>

#include "platform/SqlConnection.h"
#include "tests/support/FixtureDb.h"

namespace {

using ArticleExport::Format;

struct Exported {
    ArticleExport::Result result;
    std::string document;
    std::size_t pieces = 0, largestPiece = 0;
};

Exported Export(FixtureDb& db, const std::string& key, Format format = Format::Atom, bool flagged = false, bool unread = false) {
    SqlConnection connection(db.path());
    EXPECT_TRUE(connection.Connect());
    Exported e;
    ArticleExport::Request request;
    request.key = key;
    request.flaggedOnly = flagged;
    request.unreadOnly = unread;
    request.format = format;
    e.result = ArticleExport::Write(connection, request, 700000000.5, [&e](std::string_view bytes) {
        e.document += bytes;
        ++e.pieces;
        e.largestPiece = std::max(e.largestPiece, bytes.size());
        return true;
    });
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
            "(7, 1, 'k:7', 141617700, NULL, 0), (8, 2, 'k:8', 999999999, NULL, 1), (9, 1, 'k:9', x'3130', NULL, 0)");
    const Exported atom = Export(db, "1");
    EXPECT_TRUE(atom.result.Succeeded());
    EXPECT_EQ(atom.result.articles, 8);
    EXPECT_EQ(Ids(atom.document), "k:3 k:1 k:7 k:5 k:2 k:4 k:6 k:9");
    EXPECT_EQ(Ids(Export(db, "1", Format::JsonFeed).document), Ids(atom.document));
    EXPECT_EQ(Ids(Export(db, "", Format::Atom).document), "k:8 k:3 k:1 k:5") << "every feed's flagged articles";
    EXPECT_NE(atom.document.find("  <updated>2005-06-28T02:16:40.5Z</updated>\n  <link"), std::string::npos)
        << "the feed's time is its newest article's";
    EXPECT_NE(atom.document.find("<id>k:1</id>\n    <title></title>\n    <updated>2005-06-28T02:16:00.25Z</updated>\n"
                                 "    <published>2005-06-28T02:15:00Z</published>"), std::string::npos);
    EXPECT_NE(atom.document.find("<id>k:2</id>\n    <title></title>\n    <updated>2023-03-08T20:26:40.5Z</updated>\n  </entry>"),
              std::string::npos) << "no time at all: the export's own";
    EXPECT_NE(atom.document.find("<id>k:4</id>\n    <title></title>\n    <updated>2001-01-01T00:00:12Z</updated>\n  </entry>"),
              std::string::npos);

    EXPECT_EQ(ArticleExport::Rfc3339(-63113904000.0), "0001-01-01T00:00:00Z");
    EXPECT_EQ(ArticleExport::Rfc3339(252423993599.75), "9999-12-31T23:59:59.75Z");
    EXPECT_EQ(ArticleExport::Rfc3339(-0.0000001), "2001-01-01T00:00:00Z") << "rounded to the microsecond, carried";
}

// Whatever SQLite holds comes out as text a parser takes: markup stays text, broken UTF-8 and what XML cannot
// carry become U+FFFD, JSON keeps every valid character. Ids: a GUID that is an absolute IRI, else a tag URI.
TEST(ArticleExport, HostileTextIsCarriedAsTextAndIdsAreIrisOrStableTags) {
    FixtureDb db;
    db.exec("UPDATE Sources SET title='A & B <i>', URL='not a url' WHERE id=1; DELETE FROM Articles WHERE source_id=1;"
            "INSERT INTO Articles (id, source_id, title, contents, GUID, permalink, categories, date, author) VALUES "
            "(1, 1, 'x < y & \"z\"' || char(1, 13, 10) || CAST(x'ff41c3' AS TEXT) || char(65534), '<p>]]>&amp;</p>', "
            "'urn:uuid:6e8bc430', 'http://e.example/?a=1&b=\"2\"', 'one, two' || char(10) || ' ,three', 20, 'Ann');"
            "INSERT INTO Articles (id, source_id, excerpt, GUID, date) VALUES (2, 1, 'plain', 'post 2: é/%', 10), (3, 1, NULL, NULL, NULL),"
            "(4, 1, NULL, 'http://bücher.example/ü?q', 4), (5, 1, NULL, 'http://x.example/' || char(133), 3)");
    const std::string atom = Export(db, "1").document;
    EXPECT_NE(atom.find("<title>A &amp; B &lt;i&gt;</title>\n  <id>tag:brindlex.invalid,2001:feed-key:1</id>"), std::string::npos);
    EXPECT_NE(atom.find("<link rel=\"via\" href=\"not a url\"/>"), std::string::npos);
    EXPECT_NE(atom.find("<id>urn:uuid:6e8bc430</id>\n    <title>x &lt; y &amp; \"z\"\xEF\xBF\xBD&#13;\n"
                        "\xEF\xBF\xBD" "A\xEF\xBF\xBD\xEF\xBF\xBD</title>"), std::string::npos);
    EXPECT_NE(atom.find("<author><name>Ann</name></author>\n    <link href=\"http://e.example/?a=1&amp;b=&quot;2&quot;\"/>\n"
                        "    <category term=\"one\"/>\n    <category term=\"two\"/>\n    <category term=\"three\"/>\n"
                        "    <content type=\"html\">&lt;p&gt;]]&gt;&amp;amp;&lt;/p&gt;</content>"), std::string::npos);
    EXPECT_NE(atom.find("<id>tag:brindlex.invalid,2001:feed:not%20a%20url:guid:post%202%3A%20%C3%A9/%25</id>"), std::string::npos);
    EXPECT_NE(atom.find("<summary>plain</summary>"), std::string::npos);
    EXPECT_NE(atom.find("<id>http://bücher.example/ü?q</id>"), std::string::npos);
    EXPECT_NE(atom.find("<id>tag:brindlex.invalid,2001:feed:not%20a%20url:guid:http%3A//x.example/%C2%85</id>"), std::string::npos)
        << "a control character is no IRI";
    EXPECT_NE(atom.find("<id>tag:brindlex.invalid,2001:feed:not%20a%20url:key:3</id>\n    <title></title>\n"
                        "    <updated>2023-03-08T20:26:40.5Z</updated>\n  </entry>"), std::string::npos);

    const std::string json = Export(db, "1", Format::JsonFeed).document;
    EXPECT_NE(json.find("\"title\": \"x < y & \\\"z\\\"\\u0001\\r\\n\xEF\xBF\xBD" "A\xEF\xBF\xBD\xEF\xBF\xBE\", "
                        "\"content_html\": \"<p>]]>&amp;</p>\", \"date_published\": \"2001-01-01T00:00:20Z\", "
                        "\"authors\": [{\"name\": \"Ann\"}], \"tags\": [\"one\", \"two\", \"three\"]}"), std::string::npos);
    EXPECT_NE(json.find("\"content_text\": \"plain\", \"summary\": \"plain\""), std::string::npos);
    EXPECT_NE(json.find("\"title\": \"\", \"content_text\": \"\"}\n  ]\n}\n"), std::string::npos) << "NULL everywhere";
}

// Large stores pass through a small buffer; a missing feed or a failed statement gives nothing at all.
TEST(ArticleExport, StreamsInSmallPiecesAndWritesNothingForAMissingFeedOrAFailedStatement) {
    FixtureDb db;
    db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
            "INSERT INTO Articles (id, source_id, title, contents, date, unread) SELECT 10000 + i, 3, 'T' || i, printf('%.1000c', 'x'), i, 1 "
            "FROM n");
    const Exported big = Export(db, "3", Format::Atom, false, true);
    EXPECT_EQ(big.result.articles, 3000) << "--unread: the fixture's one read article left out";
    EXPECT_GT(big.document.size(), 3000000u);
    EXPECT_LT(big.largestPiece, 80000u);
    EXPECT_GT(big.pieces, 40u);

    for (const Format format : {Format::Atom, Format::JsonFeed}) {
        const Exported missing = Export(db, "5", format);
        EXPECT_TRUE(missing.result.noSuchFeed);
        EXPECT_EQ(missing.document, "");
    }
    db.exec("DROP TABLE Articles");
    const Exported failed = Export(db, "3");
    EXPECT_EQ(failed.result.error, "no such table: Articles");
    EXPECT_EQ(failed.document, "");
}

}  // namespace
