#include "feeds/ArticleExport.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "feeds/feed.h"
#include "platform/SqlConnection.h"

namespace ArticleExport {

namespace {

constexpr long long kUnixOf2001 = 978307200;
// The times RFC 3339 can write, as seconds since 2001: 0001-01-01T00:00:00Z up to 10000-01-01 excluded.
constexpr double kFirstSecond = -63113904000.0;
constexpr double kEndSecond = 252423993600.0;
constexpr std::size_t kFlushAt = 64 * 1024;
constexpr char32_t kInvalid = 0xFFFFFFFF;
const char* const kReplacement = "\xEF\xBF\xBD";   // U+FFFD
// A tagging authority no one can hold (RFC 2606), so these ids never collide with anyone's own.
const char* const kTagPrefix = "tag:brindlex.invalid,2001:";

// The code point at the start of s, whose first byte is 0x80 or more (the callers take ASCII themselves), and
// its length. For bytes that are not UTF-8, kInvalid and the length of the longest start of a well-formed
// sequence (at least 1), so each broken sequence becomes one U+FFFD.
char32_t Decode(std::string_view s, std::size_t& length) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    length = 1;
    std::size_t need = 0;
    char32_t c = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (p[0] >= 0xC2 && p[0] <= 0xDF) {
        need = 1;
        c = p[0] & 0x1F;
    } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
        need = 2;
        c = p[0] & 0x0F;
        if (p[0] == 0xE0) low = 0xA0;    // no overlong forms
        if (p[0] == 0xED) high = 0x9F;   // no surrogates
    } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
        need = 3;
        c = p[0] & 0x07;
        if (p[0] == 0xF0) low = 0x90;
        if (p[0] == 0xF4) high = 0x8F;   // nothing past U+10FFFF
    } else {
        return kInvalid;
    }
    for (std::size_t i = 1; i <= need; ++i) {
        if (i >= s.size() || p[i] < low || p[i] > high)
            return kInvalid;
        low = 0x80;
        high = 0xBF;
        c = (c << 6) | (p[i] & 0x3F);
        length = i + 1;
    }
    return c;
}

// Text as XML character data or a double-quoted attribute value. XML 1.0 carries tab, line feed, carriage
// return and everything from U+0020 on but U+FFFE and U+FFFF; anything else becomes U+FFFD. A carriage
// return, and in attributes tab and line feed too, are written as references, which parsers keep as they are.
void AppendXml(std::string& out, std::string_view text, bool attribute = false) {
    std::size_t start = 0, i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x20 && b < 0x80 && b != '&' && b != '<' && b != '>' && b != '"') {
            ++i;
            continue;
        }
        out.append(text, start, i - start);
        std::size_t length = 1;
        if (b == '&') out += "&amp;";
        else if (b == '<') out += "&lt;";
        else if (b == '>') out += "&gt;";   // so "]]>" never appears
        else if (b == '"') out += attribute ? "&quot;" : "\"";
        else if (b == '\r') out += "&#13;";
        else if (b == '\t') out += attribute ? "&#9;" : "\t";
        else if (b == '\n') out += attribute ? "&#10;" : "\n";
        else if (b < 0x80) out += kReplacement;
        else {
            const char32_t c = Decode(text.substr(i), length);
            if (c == kInvalid || c == 0xFFFE || c == 0xFFFF) out += kReplacement;
            else out.append(text, i, length);
        }
        i += length;
        start = i;
    }
    out.append(text, start, i - start);
}

// Text as a JSON string: exactly as stored, but for invalid UTF-8, which becomes U+FFFD.
void AppendJson(std::string& out, std::string_view text) {
    out += '"';
    std::size_t start = 0, i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x20 && b < 0x80 && b != '"' && b != '\\') {
            ++i;
            continue;
        }
        out.append(text, start, i - start);
        std::size_t length = 1;
        if (b == '"') out += "\\\"";
        else if (b == '\\') out += "\\\\";
        else if (b == '\n') out += "\\n";
        else if (b == '\r') out += "\\r";
        else if (b == '\t') out += "\\t";
        else if (b < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
            out += escaped;
        } else if (Decode(text.substr(i), length) == kInvalid) {
            out += kReplacement;
        } else {
            out.append(text, i, length);
        }
        i += length;
        start = i;
    }
    out.append(text, start, i - start);
    out += '"';
}

// An absolute IRI (RFC 3987): a scheme, a colon, and then only characters an IRI may hold.
bool IsAbsoluteIri(std::string_view s) {
    const std::size_t colon = s.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == s.size())
        return false;
    const auto alpha = [](unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
    const auto digit = [](unsigned char c) { return c >= '0' && c <= '9'; };
    const auto hex = [&](char c) {
        const auto u = static_cast<unsigned char>(c);
        return digit(u) || ((u | 0x20) >= 'a' && (u | 0x20) <= 'f');
    };
    const std::string_view excluded = "<>\"{}|\\^`";
    if (!alpha(static_cast<unsigned char>(s[0])))
        return false;
    for (std::size_t i = 1; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (!alpha(c) && !digit(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    for (std::size_t i = colon + 1; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t length = 1;
        if (c >= 0x80) {
            const char32_t u = Decode(s.substr(i), length);
            if (u == kInvalid || u < 0xA0 || (u >= 0xFDD0 && u <= 0xFDEF) || (u & 0xFFFE) == 0xFFFE)
                return false;
        } else if (c <= 0x20 || c == 0x7F || excluded.find(static_cast<char>(c)) != std::string_view::npos) {
            return false;
        } else if (c == '%' && (i + 2 >= s.size() || !hex(s[i + 1]) || !hex(s[i + 2]))) {
            return false;
        }
        i += length;
    }
    return true;
}

// The bytes of text with everything but what a tag URI's specific part may hold percent-encoded, the colon
// included, so the parts joined by colons stay apart.
void AppendPercentEncoded(std::string& out, std::string_view text) {
    static const std::string_view kept = "-._~/?@!$&'()*+,;=";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        const bool alphanumeric = (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
        if (alphanumeric || kept.find(ch) != std::string_view::npos) {
            out += ch;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            out += escaped;
        }
    }
}

// The article's GUID when it is an absolute IRI; else a tag URI from its feed's address and its GUID, or its
// key when it has none, the same at every export of the same database.
std::string EntryId(std::string_view guid, std::string_view feedUrl, long long key) {
    if (IsAbsoluteIri(guid))
        return std::string(guid);
    std::string id = kTagPrefix;
    id += "feed:";
    AppendPercentEncoded(id, feedUrl);
    if (!guid.empty()) {
        id += ":guid:";
        AppendPercentEncoded(id, guid);
    } else {
        id += ":key:" + std::to_string(key);
    }
    return id;
}

// The terms of the categories column, one a line or separated by commas or tabs, blanks around them dropped.
template <class Each>
void ForEachCategory(std::string_view text, Each each) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r' && text[i] != '\t')
            continue;
        std::string_view term = text.substr(start, i - start);
        while (!term.empty() && term.front() == ' ') term.remove_prefix(1);
        while (!term.empty() && term.back() == ' ') term.remove_suffix(1);
        if (!term.empty())
            each(term);
        start = i + 1;
    }
}

// A date column: the number it holds when that is a time RFC 3339 can write; NULL otherwise.
std::string UsableDate(const char* column) {
    const std::string value = std::string("as_number(Articles.") + column + ")";
    const std::string first = std::to_string(static_cast<long long>(kFirstSecond));
    const std::string end = std::to_string(static_cast<long long>(kEndSecond));
    return "CASE WHEN " + value + " >= " + first + " AND " + value + " < " + end + " THEN " + value + " END";
}

// The order: newest first by date, the undated after them by key. Only keys and dates pass through the sort,
// so it stays small (the engine's sorter would otherwise copy every article's contents to temporary files).
std::string OrderStatement(const Request& request) {
    std::string sql = "SELECT Articles.rowid, Articles.id, " + UsableDate("date") + " AS published, " +
                      UsableDate("dateReceived") + " AS received FROM Articles WHERE 1";
    if (!request.key.empty())
        sql += " AND Articles.source_id=" + request.key;
    if (request.flaggedOnly || request.key.empty())
        sql += " AND Articles.flagged=1";
    if (request.unreadOnly)
        sql += " AND Articles.unread=1";
    return sql + " ORDER BY published IS NULL, published DESC, Articles.id";
}

// One article by its row, with its feed.
const char* const kArticleStatement =
    "SELECT Articles.author, Articles.title, Articles.contents, Articles.excerpt, Articles.GUID, Articles.permalink, "
    "Articles.categories, Sources.id, Sources.title, Sources.URL, Sources.homePage "
    "FROM Articles LEFT JOIN Sources ON Sources.id = Articles.source_id WHERE Articles.rowid=?";

enum OrderColumn { Row = 1, Key, Published, Received };
enum ArticleColumn {
    Author = 1, Title, Contents, Excerpt, Guid, Permalink, Categories, SourceKey, SourceTitle, SourceUrl, SourceHome
};

std::optional<double> Time(const SqlCursor& row, int column) {
    switch (row.Type(column)) {
    case SqlType::Integer: return static_cast<double>(row.Integer(column));
    case SqlType::Real: return row.Real(column);
    default: return std::nullopt;
    }
}

// What the document says about the feed it is: one feed, or the flagged articles of all of them.
struct Head {
    std::string title, id, homePage, url;
};

// A feed's name: its title, else its address, else its key.
std::string FeedName(std::string_view title, std::string_view url, std::string_view key) {
    return std::string(!title.empty() ? title : !url.empty() ? url : "Feed " + std::string(key));
}

// The two documents, written element by element into a buffer that the sink empties as it fills.
class Writer {
public:
    Writer(const Request& request, double exported, const Sink& sink)
        : request_(request), exported_(exported), sink_(sink) { out_.reserve(2 * kFlushAt); }

    bool Start(const Head& head, std::optional<double> newest) {
        if (request_.format == Format::Atom) {
            out_ += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\">\n";
            Element(2, "title", head.title);
            Element(2, "id", head.id);
            Element(2, "updated", Rfc3339(newest.value_or(exported_)));
            Link(2, "", head.homePage);
            Link(2, "via", head.url);
            // Every entry needs an author; the feed's own stands in for those without one.
            AuthorName(2, head.title);
            out_ += "  <generator>BrindleX</generator>\n";
        } else {
            out_ += "{\n  \"version\": \"https://jsonfeed.org/version/1.1\",\n  \"title\": ";
            AppendJson(out_, head.title);
            Member(",\n  \"home_page_url\": ", head.homePage);
            Member(",\n  \"feed_url\": ", head.url);
            out_ += ",\n  \"items\": [";
        }
        return Flush(false);
    }

    bool Entry(const SqlCursor& order, const SqlCursor& row) {
        const long long key = order.Integer(Key);
        const bool withSource = request_.key.empty() && row.Type(SourceKey) != SqlType::Null;
        const std::string id = EntryId(row.Text(Guid), row.Text(SourceUrl), key);
        const std::optional<double> published = Time(order, Published), received = Time(order, Received);
        const std::string_view contents = row.Text(Contents), excerpt = row.Text(Excerpt);
        if (request_.format == Format::Atom) {
            out_ += "  <entry>\n";
            Element(4, "id", id);
            Element(4, "title", row.Text(Title));
            Element(4, "updated", Rfc3339(received.value_or(published.value_or(exported_))));
            if (published) Element(4, "published", Rfc3339(*published));
            if (!row.Text(Author).empty()) AuthorName(4, row.Text(Author));
            Link(4, "", row.Text(Permalink));
            ForEachCategory(row.Text(Categories), [this](std::string_view term) {
                out_ += "    <category term=\"";
                AppendXml(out_, term, true);
                out_ += "\"/>\n";
            });
            if (!contents.empty()) {
                out_ += "    <content type=\"html\">";
                AppendXml(out_, contents);
                out_ += "</content>\n";
            } else if (!excerpt.empty()) {
                Element(4, "summary", excerpt);
            }
            if (withSource) {
                const std::string name = FeedName(row.Text(SourceTitle), row.Text(SourceUrl), row.Text(SourceKey));
                out_ += "    <source>\n";
                Element(6, "id", FeedId(row.Text(SourceUrl), row.Text(SourceKey)));
                Element(6, "title", name);
                Link(6, "", row.Text(SourceHome));
                Link(6, "via", row.Text(SourceUrl));
                AuthorName(6, name);
                out_ += "    </source>\n";
            }
            out_ += "  </entry>\n";
        } else {
            out_ += entries_ ? ",\n    {\"id\": " : "\n    {\"id\": ";
            AppendJson(out_, id);
            Member(", \"url\": ", row.Text(Permalink));
            out_ += ", \"title\": ";
            AppendJson(out_, row.Text(Title));
            // Every item needs content: the excerpt as text stands in when there is no HTML.
            if (!contents.empty()) {
                out_ += ", \"content_html\": ";
                AppendJson(out_, contents);
            } else {
                out_ += ", \"content_text\": ";
                AppendJson(out_, excerpt);
                Member(", \"summary\": ", excerpt);
            }
            if (published) Member(", \"date_published\": ", Rfc3339(*published));
            if (received) Member(", \"date_modified\": ", Rfc3339(*received));
            if (!row.Text(Author).empty()) {
                out_ += ", \"authors\": [{\"name\": ";
                AppendJson(out_, row.Text(Author));
                out_ += "}]";
            }
            bool tagged = false;
            ForEachCategory(row.Text(Categories), [&](std::string_view term) {
                out_ += tagged ? ", " : ", \"tags\": [";
                tagged = true;
                AppendJson(out_, term);
            });
            if (tagged) out_ += "]";
            if (withSource) {
                // Readers ignore members that start with an underscore; this one names the article's feed.
                out_ += ", \"_source\": {\"title\": ";
                AppendJson(out_, FeedName(row.Text(SourceTitle), row.Text(SourceUrl), row.Text(SourceKey)));
                Member(", \"feed_url\": ", row.Text(SourceUrl));
                Member(", \"home_page_url\": ", row.Text(SourceHome));
                out_ += "}";
            }
            out_ += "}";
        }
        ++entries_;
        return Flush(false);
    }

    bool Finish() {
        out_ += request_.format == Format::Atom ? "</feed>\n" : (entries_ ? "\n  ]\n}\n" : "]\n}\n");
        return Flush(true);
    }

    static std::string FeedId(std::string_view url, std::string_view key) {
        return IsAbsoluteIri(url) ? std::string(url) : kTagPrefix + std::string("feed-key:") + std::string(key);
    }

private:
    bool Flush(bool all) {
        if (out_.size() < kFlushAt && !(all && !out_.empty()))
            return true;
        const bool written = sink_(out_);
        out_.clear();
        return written;
    }

    void Element(int indent, const char* name, std::string_view text) {
        out_.append(static_cast<std::size_t>(indent), ' ');
        out_ += '<';
        out_ += name;
        out_ += '>';
        AppendXml(out_, text);
        out_ += "</";
        out_ += name;
        out_ += ">\n";
    }

    void Link(int indent, const char* rel, std::string_view href) {
        if (href.empty()) return;
        out_.append(static_cast<std::size_t>(indent), ' ');
        out_ += *rel ? std::string("<link rel=\"") + rel + "\" href=\"" : std::string("<link href=\"");
        AppendXml(out_, href, true);
        out_ += "\"/>\n";
    }

    void AuthorName(int indent, std::string_view name) {
        out_.append(static_cast<std::size_t>(indent), ' ');
        out_ += "<author><name>";
        AppendXml(out_, name);
        out_ += "</name></author>\n";
    }

    // A JSON member whose value is text, left out when the text is empty.
    void Member(const char* prefix, std::string_view text) {
        if (text.empty()) return;
        out_ += prefix;
        AppendJson(out_, text);
    }

    const Request& request_;
    double exported_;
    const Sink& sink_;
    std::string out_;
    long long entries_ = 0;
};

// A read transaction around the export, so the feed and its articles come from the same moment. Ending it
// changes nothing in the file.
struct ReadTransaction {
    explicit ReadTransaction(SqlConnection& db) : db_(db), began_(db.Execute("BEGIN")) {}
    ~ReadTransaction() {
        if (began_) db_.Execute("COMMIT");
    }
    SqlConnection& db_;
    bool began_;
};

}  // namespace

std::string Rfc3339(double seconds) {
    double whole = std::floor(seconds);
    long long micros = std::llround((seconds - whole) * 1e6);
    if (micros == 1000000) {
        whole += 1;
        micros = 0;
    }
    const long long unix = static_cast<long long>(whole) + kUnixOf2001;
    long long days = unix / 86400, second = unix % 86400;
    if (second < 0) {
        second += 86400;
        days -= 1;
    }
    // Days since 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's civil_from_days).
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long day = doy - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char text[48];
    int n = std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld", year, month, day,
                          second / 3600, second / 60 % 60, second % 60);
    if (micros > 0) {
        n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), ".%06lld", micros);
        while (text[n - 1] == '0') --n;
    }
    return std::string(text, static_cast<std::size_t>(n)) + "Z";
}

Result Write(SqlConnection& db, const Request& request, double exported, const Sink& sink) {
    Result result;
    if (!request.key.empty() && !feed::IsPlainKey(request.key)) {
        result.noSuchFeed = true;   // no row has it, and it reaches no statement
        return result;
    }
    ReadTransaction transaction(db);
    if (!transaction.began_) {
        result.error = db.ErrorMessage();
        return result;
    }

    Head head;
    if (request.key.empty()) {
        head.title = request.unreadOnly ? "Unread flagged articles" : "Flagged articles";
        head.id = std::string(kTagPrefix) + (request.unreadOnly ? "flagged:unread" : "flagged");
    } else {
        auto feed = db.Select("SELECT title, URL, homePage FROM Sources WHERE id=" + request.key);
        if (!feed) {
            result.error = db.ErrorMessage();
            return result;
        }
        if (feed->AtEnd()) {
            result.noSuchFeed = true;
            return result;
        }
        head.title = FeedName(feed->Text(1), feed->Text(2), request.key);
        head.id = Writer::FeedId(feed->Text(2), request.key);
        head.url = feed->Text(2);
        head.homePage = feed->Text(3);
    }

    auto order = db.Select(OrderStatement(request));
    auto article = order ? db.Select(kArticleStatement) : nullptr;   // compiled once, run for each key
    if (!order || !article) {
        result.error = db.ErrorMessage();
        return result;
    }
    Writer writer(request, exported, sink);
    // Newest first: the first row's date, if it has one, is the newest there is.
    bool written = writer.Start(head, order->AtEnd() ? std::nullopt : Time(*order, Published));
    for (; written && !order->AtEnd(); order->MoveNext()) {
        if (!article->Restart(order->Integer(Row)) || article->AtEnd())
            break;   // the row cannot be gone inside the transaction: the engine failed
        written = writer.Entry(*order, *article);
    }
    // A step that failed halfway (a lock, an interrupt) ends the cursor early: the document would be short.
    if (written && (db.Error() || !order->AtEnd())) {
        result.error = db.Error() ? db.ErrorMessage() : "an article could not be read";
        return result;
    }
    result.writeFailed = !(written && writer.Finish());
    return result;
}

}  // namespace ArticleExport
