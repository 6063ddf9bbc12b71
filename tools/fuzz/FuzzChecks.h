#pragma once
// What the fuzz targets check on one input. The regression tests replay kept inputs through the same
// functions, so an input that once failed a check stays a test case. Each returns empty text when every
// check held, else a description of the first that did not.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

class plist;

namespace fuzzchecks {

/// The bytes as a property-list file: load, save, load the saved file, save that. A document that loaded
/// without an error must load back equal with no error: the same header lines, keys, type names (letter
/// case aside), texts (boolean and data texts as the store saves them) and children; a document that was
/// no property list must still be none after its save.
std::string CheckPlistRoundTrip(const std::uint8_t* data, std::size_t size, const std::filesystem::path& folder);

/// The bytes as a syndication database file: connect, read the list and totals both ways, export the first
/// feed's articles and the flagged ones in both formats (valid UTF-8 throughout, and in Atom only characters
/// XML carries), load, mark and reset the first feeds, mark everything read, read the list again. After every step the connection
/// must hold no transaction and no unfinished statement (either would keep the browser out of its file).
std::string CheckDatabase(const std::uint8_t* data, std::size_t size, const std::filesystem::path& folder);

/// A canonical text of a document (headers, entries, types, texts, children) for comparing two loads.
std::string Canonical(const plist& document);

/// A folder of this process's own for the scratch files (removed by the caller when it likes).
std::filesystem::path ScratchFolder(const char* tag);

}  // namespace fuzzchecks
