#include "feeds/Opml.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>
#include <tuple>

namespace {

// A feed with what the document takes from it.
FeedRow Feed(long long id, const std::string& title, const std::string& url, const std::string& homePage, const std::string& description) {
    FeedRow row{id, title};
    std::tie(row.url, row.homePage, row.description) = std::tie(url, homePage, description);
    return row;
}

TEST(OpmlDocument, WritesOneOutlinePerFeedWithWhatItHasAndOnlyCharactersXmlAllows) {
    QLocale::setDefault(QLocale(QLocale::German));   // the date stays in English
    const std::vector<FeedRow> feeds = {
        Feed(1, "Tom & Jerry <\"1\">\x01\tend\x7f \xF0\x9F\x98\x80\xEE\x80\x80\xEF\xBF\xBD\xEF\xBF\xBF", "http://a.example/rss?x=1&y=2", "http://a.example/", "news > views\r\n"),
        // Nothing is left of a title of control characters: the URL stands in.
        Feed(3, "\x02\x1f", "http://c.example/\x1b", "", "\x0b")};
    const QDateTime created(QDate(2024, 6, 3), QTime(1, 2, 3), Qt::OffsetFromUTC, 2 * 3600);
    EXPECT_EQ(Opml::Document(feeds, created).toStdString(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<opml version=\"2.0\">\n"
              "  <head>\n"
              "    <title>BrindleX feeds</title>\n"
              "    <dateCreated>Sun, 02 Jun 2024 23:02:03 GMT</dateCreated>\n"
              "  </head>\n"
              "  <body>\n"
              "    <outline type=\"rss\" text=\"Tom &amp; Jerry &lt;&quot;1&quot;&gt;&#9;end\x7f \xF0\x9F\x98\x80\xEE\x80\x80\xEF\xBF\xBD\" "
              "title=\"Tom &amp; Jerry &lt;&quot;1&quot;&gt;&#9;end\x7f \xF0\x9F\x98\x80\xEE\x80\x80\xEF\xBF\xBD\" xmlUrl=\"http://a.example/rss?x=1&amp;y=2\" "
              "htmlUrl=\"http://a.example/\" description=\"news &gt; views&#13;&#10;\"/>\n"
              "    <outline type=\"rss\" text=\"http://c.example/\" title=\"http://c.example/\" xmlUrl=\"http://c.example/\"/>\n"
              "  </body>\n"
              "</opml>\n");
    QLocale::setDefault(QLocale::c());
}

}  // namespace
