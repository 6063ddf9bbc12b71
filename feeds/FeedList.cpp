#include "feeds/FeedList.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <unordered_map>

#include "platform/SqlConnection.h"

namespace {

using Kind = SqlCursor::Kind;

// SQL's SUM, value by value as the engine adds them: an integer while every value is one and the sum fits,
// otherwise the real sum of all of them (which the engine keeps all along); NULL when no value was added.
class Sum {
public:
    void Add(std::int64_t v) {
        ++count_;
        real_ += static_cast<double>(v);
        if (!approximate_ && __builtin_add_overflow(integer_, v, &integer_)) approximate_ = overflowed_ = true;
    }
    void Add(double v) {
        ++count_;
        real_ += v;
        approximate_ = true;
    }
    /// The sum over both sets of values (the reals added in another order, which may round otherwise).
    void Merge(const Sum& other) {
        if (other.count_ == 0) return;
        count_ += other.count_;
        real_ += other.real_;
        approximate_ = approximate_ || other.approximate_;
        overflowed_ = overflowed_ || other.overflowed_;
        if (!approximate_ && __builtin_add_overflow(integer_, other.integer_, &integer_)) approximate_ = overflowed_ = true;
    }
    bool Overflowed() const { return overflowed_; }   ///< the engine fails the statement then
    std::string Text() const {
        if (count_ == 0) return {};
        return approximate_ ? SqlRealText(real_) : std::to_string(integer_);
    }

private:
    long long count_ = 0;
    std::int64_t integer_ = 0;
    double real_ = 0;
    bool approximate_ = false;
    bool overflowed_ = false;
};

struct Counts {
    long long articles = 0;
    Sum unread;
};

// The unread values that are not the integer 0, by article rowid. A refresh looks up every article here, in the
// order of the index on source_id, so the lookup must not miss the cache: where the rowids lie close together (as
// the browser numbers its articles) two bits per rowid say absent, NULL, 1 or "see the map"; elsewhere a map.
class UnreadValues {
public:
    struct Value {
        SqlCursor::Kind kind = SqlCursor::Kind::Null;   ///< Null, Integer or Real
        std::int64_t integer = 0;
        double real = 0;
    };

    void Add(std::int64_t rowid, const Value& value) { added_.emplace_back(rowid, value); }
    /// Done adding: lays the values out for Find.
    void Seal() {
        if (added_.empty()) return;
        std::int64_t low = added_.front().first, high = low;
        for (const auto& [rowid, value] : added_) {
            low = std::min(low, rowid);
            high = std::max(high, rowid);
        }
        const std::uint64_t span = static_cast<std::uint64_t>(high) - static_cast<std::uint64_t>(low);
        dense_ = span < 32 * added_.size() + 65536;
        if (dense_) {
            low_ = low;
            span_ = span + 1;
            codes_.assign(span / 4 + 1, 0);
        }
        for (const auto& [rowid, value] : added_) {
            if (!dense_) others_[rowid] = value;
            else if (value.kind == SqlCursor::Kind::Null) Set(rowid, kNull);
            else if (value.kind == SqlCursor::Kind::Integer && value.integer == 1) Set(rowid, kOne);
            else {
                Set(rowid, kOther);
                others_[rowid] = value;
            }
        }
        added_ = {};
    }
    /// Null for an article whose unread is the integer 0 (none is kept for those).
    const Value* Find(std::int64_t rowid) const {
        static const Value null, one{SqlCursor::Kind::Integer, 1, 0};
        if (dense_) {
            if (rowid < low_ || Offset(rowid) >= span_) return nullptr;
            switch (Get(rowid)) {
            case kAbsent: return nullptr;
            case kNull: return &null;
            case kOne: return &one;
            default: break;
            }
        }
        const auto found = others_.find(rowid);
        return found == others_.end() ? nullptr : &found->second;
    }

private:
    enum Code : std::uint8_t { kAbsent, kNull, kOne, kOther };
    std::uint64_t Offset(std::int64_t rowid) const {
        return static_cast<std::uint64_t>(rowid) - static_cast<std::uint64_t>(low_);
    }
    Code Get(std::int64_t rowid) const {
        const std::uint64_t at = Offset(rowid);
        return static_cast<Code>((codes_[at / 4] >> (2 * (at % 4))) & 3);
    }
    void Set(std::int64_t rowid, Code code) {
        const std::uint64_t at = Offset(rowid);
        codes_[at / 4] = static_cast<std::uint8_t>((codes_[at / 4] & ~(3 << (2 * (at % 4)))) | (code << (2 * (at % 4))));
    }

    std::vector<std::pair<std::int64_t, Value>> added_;
    bool dense_ = false;
    std::int64_t low_ = 0;
    std::uint64_t span_ = 0;
    std::vector<std::uint8_t> codes_;   ///< four codes a byte, so the whole fits the processor's cache
    std::unordered_map<std::int64_t, Value> others_;
};

struct Groups {
    std::unordered_map<long long, Counts> byFeed;   ///< by integer source_id
    Counts noFeed;                                  ///< source_id NULL or not an integer: no feed has it
};

// The type affinity SQLite gives a declared column type.
bool IntegerOrNumericAffinity(std::string type) {
    for (char& c : type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto has = [&type](const char* part) { return type.find(part) != std::string::npos; };
    if (has("INT")) return true;
    if (has("CHAR") || has("CLOB") || has("TEXT") || has("BLOB") || type.empty()) return false;
    return !(has("REAL") || has("FLOA") || has("DOUB"));
}

// Whether Articles' unread and source_id keep numbers as numbers (the browser declares them INT and INTEGER):
// then an unread value equal to 0 is the integer 0, which adds nothing to a sum but its presence.
bool NumericColumns(SqlConnection& db) {
    auto cursor = db.Select("SELECT lower(name), type FROM pragma_table_info('Articles') "
                            "WHERE lower(name) IN ('unread', 'source_id')");
    int numeric = 0;
    for (; cursor && !cursor->AtEnd(); cursor->MoveNext()) numeric += IntegerOrNumericAffinity(cursor->Column(2));
    return numeric == 2;
}

// The counts by walking two indexes and no table: the unread values other than 0 from the index on unread, then
// every article's feed from the index on source_id, feed by feed in key order (the order in which the engine adds
// a feed's values when it joins). Nothing when a value is text or a blob, whose sum the engine converts its own way.
std::optional<Groups> CountFromIndexes(SqlConnection& db, std::string& error) {
    UnreadValues values;
    // Three ranges of the index on unread, each read from the index alone; together all but the zeros.
    auto cursor = db.Select("SELECT rowid, unread FROM Articles WHERE unread IS NULL UNION ALL "
                            "SELECT rowid, unread FROM Articles WHERE unread < 0 UNION ALL "
                            "SELECT rowid, unread FROM Articles WHERE unread > 0");
    for (; cursor && !cursor->AtEnd(); cursor->MoveNext()) {
        const Kind kind = cursor->ColumnKind(2);
        if (kind == Kind::Text || kind == Kind::Blob) return std::nullopt;
        values.Add(cursor->ColumnInteger(1), {kind, cursor->ColumnInteger(2), cursor->ColumnReal(2)});
    }
    if (db.Error()) {
        error = db.ErrorMessage();
        return Groups{};
    }
    values.Seal();

    Groups groups;
    Counts* current = nullptr;
    std::optional<std::int64_t> currentFeed;
    cursor = db.Select("SELECT source_id, rowid FROM Articles ORDER BY source_id");
    for (; cursor && !cursor->AtEnd(); cursor->MoveNext()) {
        std::optional<std::int64_t> feed;
        if (cursor->ColumnKind(1) == Kind::Integer) feed = cursor->ColumnInteger(1);
        if (!current || feed != currentFeed) {
            currentFeed = feed;
            current = feed ? &groups.byFeed[*feed] : &groups.noFeed;
        }
        ++current->articles;
        const UnreadValues::Value* value = values.Find(cursor->ColumnInteger(2));
        if (!value) current->unread.Add(std::int64_t{0});
        else if (value->kind == Kind::Integer) current->unread.Add(value->integer);
        else if (value->kind == Kind::Real) current->unread.Add(value->real);
    }
    if (db.Error()) error = db.ErrorMessage();
    return groups;
}

// Where the counts cannot come from the indexes: the engine's own join and sums, grouped by key.
std::unordered_map<long long, FeedRow> CountByJoining(SqlConnection& db, bool allFeeds, FeedListing& listing) {
    std::unordered_map<long long, FeedRow> counted;
    auto cursor = db.Select(std::string("SELECT Sources.id, count(Articles.id), sum(Articles.unread) FROM Sources "
                                        "LEFT JOIN Articles ON Sources.ID = Articles.source_id") +
                            (allFeeds ? "" : " WHERE Sources.subscribed=1") + " GROUP BY Sources.id");
    for (; cursor && !cursor->AtEnd(); cursor->MoveNext()) {
        FeedRow& row = counted[cursor->ColumnInteger(1)];
        row.articles = cursor->ColumnInteger(2);
        row.unread = cursor->Column(3);
    }
    cursor = db.Select(std::string("SELECT count(Articles.id), sum(Articles.unread) FROM Articles") +
                       (allFeeds ? "" : " WHERE Articles.source_id IN (SELECT Sources.id FROM Sources WHERE "
                                        "Sources.subscribed=1)"));
    if (cursor && !cursor->AtEnd()) {
        listing.numArticles = cursor->Column(1);
        listing.numUnread = cursor->Column(2);
    }
    return counted;
}

}  // namespace

FeedListing ReadFeedList(SqlConnection& db, bool allFeeds) {
    const auto failed = [](std::string error) {
        FeedListing failure;
        failure.error = error.empty() ? "the feed list could not be read" : std::move(error);
        return failure;
    };
    SqlReadTransaction read(db);   // the list and the totals of one moment, and the lock let go at the end
    if (!db.IsConnected() || !read.Began()) return failed(db.ErrorMessage());

    FeedListing listing;
    auto cursor = db.Select(std::string("SELECT id, title, subscribed, subscribed=1, iconURL, URL, homePage, "
                                        "description FROM Sources") +
                            (allFeeds ? "" : " WHERE subscribed=1") + " ORDER BY title, id");
    for (; cursor && !cursor->AtEnd(); cursor->MoveNext()) {
        FeedRow row;
        row.id = cursor->ColumnInteger(1);
        row.title = cursor->Column(2);
        row.subscribed = cursor->Column(3);
        row.isSubscribed = cursor->ColumnInteger(4) == 1;
        row.iconURL = cursor->Column(5);
        row.url = cursor->Column(6);
        row.homePage = cursor->Column(7);
        row.description = cursor->Column(8);
        listing.rows.push_back(std::move(row));
    }
    // A step that failed halfway (the file locked meanwhile) ends the cursor early: the list would be short.
    if (!cursor || db.Error()) return failed(db.ErrorMessage());
    listing.numSources = std::to_string(listing.rows.size());

    std::string error;
    std::optional<Groups> groups;
    if (NumericColumns(db)) groups = CountFromIndexes(db, error);
    if (!error.empty()) return failed(error);
    if (!groups) {
        std::unordered_map<long long, FeedRow> counted = CountByJoining(db, allFeeds, listing);
        if (db.Error()) return failed(db.ErrorMessage());
        for (FeedRow& row : listing.rows) {
            row.articles = counted[row.id].articles;
            row.unread = counted[row.id].unread;
        }
        return listing;
    }

    // The totals: of the feeds listed; with every feed listed, of every article, those of no feed too.
    long long articles = allFeeds ? groups->noFeed.articles : 0;
    Sum unread = allFeeds ? groups->noFeed.unread : Sum();
    for (FeedRow& row : listing.rows) {
        const auto found = groups->byFeed.find(row.id);
        if (found == groups->byFeed.end()) continue;
        row.articles = found->second.articles;
        row.unread = found->second.unread.Text();
        if (found->second.unread.Overflowed()) return failed("integer overflow");
        if (!allFeeds) {
            articles += row.articles;
            unread.Merge(found->second.unread);
        }
    }
    if (allFeeds) {
        for (const auto& [feed, counts] : groups->byFeed) {
            articles += counts.articles;
            unread.Merge(counts.unread);
        }
    }
    if (unread.Overflowed()) return failed("integer overflow");
    listing.numArticles = std::to_string(articles);
    listing.numUnread = unread.Text();
    return listing;
}

std::int32_t LeadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // Saturate rather than overflow: a sum beyond 32 bits shows as the largest count there is.
    constexpr std::int64_t limit = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit + 1)
            value = limit + 1;
    }
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(value > limit ? limit : value);
}
