#pragma once
// The feeds as an OPML 2.0 document, the format every feed reader imports, and its safe save.
// Qt Core only; shared by the command line and the window's export.

#include <QByteArray>
#include <QString>
#include <filesystem>
#include <vector>

#include "feeds/FeedList.h"

class QDateTime;

namespace Opml {

/// The document as UTF-8 bytes: a head with a title and the creation time (RFC 822, in GMT), then one
/// <outline type="rss"> per feed in the given order. Its text and title are the feed's title, or its URL when
/// the title is empty; htmlUrl and description are left out when the feed has none. Characters that XML 1.0
/// does not allow are dropped; the rest is escaped by the XML writer.
QByteArray Document(const std::vector<FeedRow>& feeds, const QDateTime& created);

/// Writes bytes to path as OutputFile decides (never over database or its side files; a regular file
/// through a temporary file renamed over it, so it holds either what it held before or all of bytes; a pipe
/// or a device as it is). Returns the error text, empty on success.
QString WriteFile(const QString& path, const QByteArray& bytes, const std::filesystem::path& database);

}  // namespace Opml
