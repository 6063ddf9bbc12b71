#include "tools/fuzz/FuzzChecks.h"

#include <sqlite3.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "feeds/ArticleExport.h"
#include "feeds/FeedList.h"
#include "feeds/feed.h"
#include "platform/SqlConnection.h"
#include "plist/plist.h"

namespace fuzzchecks {
namespace {

void WriteBytes(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Length-prefixed, so that no text can pass for the structure around it.
void Put(std::string& out, const std::string& text) {
    out += std::to_string(text.size());
    out += ':';
    out += text;
}

// Where two canonical texts part, with a little of each, for the failure message.
std::string Difference(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    const std::size_t from = i > 40 ? i - 40 : 0;
    return "at byte " + std::to_string(i) + ": first \"" + a.substr(from, 80) + "\" second \"" + b.substr(from, 80) +
           "\"";
}

void RemoveDatabaseFiles(const std::filesystem::path& file) {
    std::error_code ec;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        std::filesystem::remove(file.string() + suffix, ec);
}

// A transaction left open or a statement not run to its end holds a lock on the browser's file.
std::string Leftovers(SqlConnection& db, const std::string& step) {
    sqlite3* handle = db.Handle();
    if (!handle) return {};
    if (!sqlite3_get_autocommit(handle)) return step + " left a transaction open";
    for (sqlite3_stmt* s = sqlite3_next_stmt(handle, nullptr); s; s = sqlite3_next_stmt(handle, s)) {
        if (sqlite3_stmt_busy(s)) {
            const char* sql = sqlite3_sql(s);
            return step + " left a statement unfinished: " + (sql ? sql : "?");
        }
    }
    return {};
}

// An export as a parser meets it: valid UTF-8 throughout, and in Atom no character XML 1.0 cannot carry.
std::string ExportProblem(SqlConnection& db, const std::string& key, ArticleExport::Format format) {
    ArticleExport::Request request;
    request.key = key;
    request.format = format;
    std::string document;
    // A database that breaks halfway fails the export; what it wrote until then must still be clean text.
    ArticleExport::Write(db, request, 0, [&](std::string_view bytes) {
        document += bytes;
        return true;
    });
    const std::string what = std::string(format == ArticleExport::Format::Atom ? "Atom" : "JSON") + " export of " +
                             (key.empty() ? "the flagged articles" : key);
    const auto* p = reinterpret_cast<const unsigned char*>(document.data());
    for (std::size_t i = 0, n = document.size(); i < n;) {
        std::size_t length = p[i] < 0x80 ? 1 : p[i] >= 0xC2 && p[i] <= 0xDF ? 2 : p[i] >= 0xE0 && p[i] <= 0xEF ? 3
                             : p[i] >= 0xF0 && p[i] <= 0xF4 ? 4 : 0;
        if (length == 0 || i + length > n) return what + ": not UTF-8 at byte " + std::to_string(i);
        char32_t c = length == 1 ? p[i] : p[i] & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return what + ": not UTF-8 at byte " + std::to_string(i);
            c = (c << 6) | (p[i + k] & 0x3F);
        }
        const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
        if (overlong || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return what + ": not UTF-8 at byte " + std::to_string(i);
        if (format == ArticleExport::Format::Atom && ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0xFFFE || c == 0xFFFF))
            return what + ": a character XML cannot carry at byte " + std::to_string(i);
        i += length;
    }
    return {};
}

}  // namespace

std::filesystem::path ScratchFolder(const char* tag) {
    std::error_code ec;
    // Memory-backed when the machine has it: the database target writes its file on every input.
    std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK) == 0
                                     ? std::filesystem::path("/dev/shm")
                                     : std::filesystem::temp_directory_path();
    std::filesystem::path folder = base / ("brindlex-fuzz-" + std::string(tag) + "-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder, ec);
    return folder;
}

std::string Canonical(const plist& document) {
    std::string out = "headers";
    for (std::size_t i = 1; i < document.headers.size(); ++i) Put(out, document.headers[i]);
    out += "\nroot";
    if (!document.root) return out;

    // Depth first with an explicit stack: fuzzed files nest deeper than a call stack allows.
    struct Frame {
        const plistDict* node;
        std::int32_t entry = 0;
        bool opened = false;
    };
    std::vector<Frame> stack{{document.root.get()}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        const plistDict& node = *f.node;
        if (!f.opened) {
            f.opened = true;
            out += node.isArray ? '[' : '{';
        }
        if (f.entry >= node.count()) {
            out += node.isArray ? ']' : '}';
            stack.pop_back();
            continue;
        }
        const std::int32_t i = f.entry++;
        const std::string& key = node.types.Key(i);
        const std::string& type = node.types.ValueAt(i);
        Put(out, key);
        // Type names, like every name in the store, ignore letter case.
        std::string folded(type);
        for (char& ch : folded) ch = plistText::FoldCase(ch);
        Put(out, folded);
        const bool isChild = folded == "dict" || folded == "array";
        // A value left open at its node's end has a type but no text; it is saved, and so reads back, as
        // empty text, which is what the typed reads already gave for it.
        const std::string* text = node.values.Find(key);
        if (folded == "boolean") {
            // Saved as <true/> or <false/>: any other text of a foreign file reads back as false.
            out += plistText::EqualsNoCase(text ? *text : std::string(), "true") ? "=true" : "=false";
        } else if (folded == "data") {
            // Base64 ignores layout: data is saved on a line of its own and read back without blanks or
            // control characters, so only the other characters have to come back.
            std::string significant;
            for (char ch : text ? *text : std::string())
                if (static_cast<unsigned char>(ch) > ' ') significant += ch;
            out += '=';
            Put(out, significant);
        } else if (text || !isChild) {
            out += '=';
            Put(out, text ? *text : std::string());
        }

        // The children under a dict or array key, in list order; pushed in reverse so the first comes first.
        std::vector<const plistDict*> kids;
        for (std::size_t c = 1; isChild && c < node.childrenNames.size() && c < node.children.size(); ++c) {
            if (node.children[c] && plistText::EqualsNoCase(node.childrenNames[c], key)) {
                kids.push_back(node.children[c].get());
            }
        }
        out += '#';
        out += std::to_string(kids.size());
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back({*it});
    }
    return out;
}

std::string CheckPlistRoundTrip(const std::uint8_t* data, std::size_t size, const std::filesystem::path& folder) {
    const auto input = folder / "input.plist";
    const auto firstSave = folder / "first.plist";
    const auto secondSave = folder / "second.plist";
    WriteBytes(input, data, size);

    auto first = std::make_unique<plist>(input);
    const bool firstError = first->error;
    const std::string firstMessage = first->errorMessage;
    const std::string firstTree = Canonical(*first);
    if (firstError && firstMessage != "Not a plist file") return "first load failed: " + firstMessage;

    first->savePath = firstSave;
    first->Save();
    if (first->error && !firstError) return "first save failed: " + first->errorMessage;

    auto second = std::make_unique<plist>(firstSave);
    if (firstError) {
        // Every line of a file that is no property list is a header line; saved, it is still none.
        if (!second->error || second->errorMessage != firstMessage)
            return "a file that was no property list loaded back as one";
        return {};
    }
    if (second->error) return "second load failed: " + second->errorMessage;
    const std::string secondTree = Canonical(*second);
    if (secondTree != firstTree)
        return "second load differs from the first " + Difference(firstTree, secondTree);

    second->savePath = secondSave;
    second->Save();
    if (second->error) return "second save failed: " + second->errorMessage;
    return {};
}

std::string CheckDatabase(const std::uint8_t* data, std::size_t size, const std::filesystem::path& folder) {
    const auto file = folder / "Database3";
    RemoveDatabaseFiles(file);
    WriteBytes(file, data, size);

    std::string problem;
    {
        SqlConnection db(file);
        if (!db.Connect()) {
            if (db.IsConnected()) problem = "a failed connect left the connection open";
        } else {
            auto step = [&](const std::string& name) {
                if (problem.empty()) problem = Leftovers(db, name);
                return problem.empty();
            };
            const FeedListing all = ReadFeedList(db, true);
            if (step("ReadFeedList(all)")) {
                ReadFeedList(db, false);
                step("ReadFeedList(subscribed)");
            }
            // The first few keys the list shows, and one it does not.
            std::vector<std::string> keys;
            std::set<std::string> seen;
            for (const auto& row : all.rows) {
                if (keys.size() >= 3) break;
                if (seen.insert(std::to_string(row.id)).second) keys.push_back(std::to_string(row.id));
            }
            keys.push_back("987654321");
            for (const std::string& key : {keys.front(), std::string()}) {
                for (const auto format : {ArticleExport::Format::Atom, ArticleExport::Format::JsonFeed}) {
                    if (problem.empty()) problem = ExportProblem(db, key, format);
                    step("export of " + key);
                }
            }
            for (std::size_t k = 0; k < keys.size() && problem.empty(); ++k) {
                feed f;
                f.ID = keys[k];
                f.Load(db);
                if (!step("Load " + keys[k])) break;
                f.MarkRead(db);
                if (!step("MarkRead " + keys[k])) break;
                f.MarkUnread(db);
                if (!step("MarkUnread " + keys[k])) break;
                if (k == 0) {
                    f.ForceReload(db);
                    if (!step("ForceReload " + keys[k])) break;
                }
            }
            if (problem.empty()) {
                feed everything;
                everything.MarkAllRead(db);
                if (step("MarkAllRead")) {
                    ReadFeedList(db, true);
                    step("ReadFeedList again");
                }
            }
            db.Commit();   // harmless with nothing pending
            step("Commit");
        }
    }
    RemoveDatabaseFiles(file);
    return problem;
}

}  // namespace fuzzchecks
