#pragma once
// A feed's articles, or every flagged article, as a feed document any reader subscribes to from a file:
// Atom 1.0 (RFC 4287) or JSON Feed 1.1. Rows are read from one cursor and written as they come, so a store of
// any size passes through a small buffer. Plain C++ and SQL, no Qt.

#include <functional>
#include <string>
#include <string_view>

class SqlConnection;

namespace ArticleExport {

enum class Format { Atom, JsonFeed };

struct Request {
    std::string key;           ///< a feed's key (plain decimal); empty: every feed's flagged articles
    bool flaggedOnly = false;  ///< only flagged articles (always so without a key)
    bool unreadOnly = false;   ///< only unread articles
    Format format = Format::Atom;
};

struct Result {
    bool noSuchFeed = false;   ///< no Sources row has the key; nothing was written
    bool writeFailed = false;  ///< the sink refused bytes; what failed is the sink's to say
    std::string error;         ///< the engine's message when a statement failed; empty otherwise
};

/// Takes the document piece by piece; false stops the export.
using Sink = std::function<bool(std::string_view bytes)>;

/// Writes the document to sink, reading in one read transaction. Articles come newest first by date; those
/// without a usable date (NULL, text that is no number, a time outside the years 1 to 9999) follow by key.
/// Text is written as stored, with invalid UTF-8 and (in Atom) the characters XML 1.0 cannot carry each
/// replaced by U+FFFD. exported (seconds since 2001-01-01 UTC) stands in where Atom needs a time and no
/// article has one. On failure the sink may have had part of the document.
Result Write(SqlConnection& db, const Request& request, double exported, const Sink& sink);

/// An RFC 3339 time in UTC ("2005-06-28T02:15:00Z", fractions of a second to the microsecond) for seconds
/// since 2001-01-01 UTC, as the browser stores them.
std::string Rfc3339(double seconds);

}  // namespace ArticleExport
