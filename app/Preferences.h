#pragma once
// The three preferences as the property-list file holds them: where the file is, the default database,
// and reading the values with their fallbacks. Qt Core only, so the command-line companion shares it.

#include <QString>
#include <cstdint>
#include <filesystem>

class plist;

struct PreferenceValues {
    QString dbFileName;
    std::int32_t UpdateInterval = 10;
    bool AutoRefresh = true;
};

namespace Preferences {

/// "Brindle.plist" in the user's preferences folder; it need not exist.
std::filesystem::path File();
/// Syndication/Database3 in the parent of the preferences folder; it need not exist.
QString DefaultDatabasePath();
/// The values of a read document. A key that cannot be read takes its fallback (the default database,
/// 10 seconds, automatic refresh on); an empty database path takes the default too.
PreferenceValues Read(const plist& document, const QString& defaultDatabase);

std::string Utf8(const QString& text);
QString FromUtf8(const std::string& text);

}  // namespace Preferences
