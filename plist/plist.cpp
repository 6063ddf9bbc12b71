#include "plist/plist.h"

#include <fstream>
#include <system_error>

#include "plist/plistfile.h"
#include "plist/plistlinereader.h"

using plistText::EqualsNoCase;

plist::plist(const std::filesystem::path& file) : plist(file, file) {}

plist::plist(const std::filesystem::path& file, const std::filesystem::path& fallback) : headers(1) {
    Load(file, fallback);
}

const std::vector<std::string>& plist::DefaultHeaders() {
    static const std::vector<std::string> lines = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
        "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">",
        "<plist version=\"1.0\">",
        "<dict>",
    };
    return lines;
}

namespace {

bool Exists(const std::filesystem::path& p) {
    std::error_code ec;
    return !p.empty() && std::filesystem::exists(p, ec);
}

std::string AbsoluteText(const std::filesystem::path& p) {
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(p, ec);
    return (ec ? p : abs).string();
}

}  // namespace

void plist::Load(const std::filesystem::path& file, const std::filesystem::path& fallback) {
    root = std::make_unique<plistDict>();
    savePath = file;
    headers.assign(1, std::string());
    const std::filesystem::path source = Exists(file) ? file : fallback;

    auto startNew = [&](const std::string& message) {
        error = true;
        errorMessage = message;
        for (const auto& line : DefaultHeaders()) headers.push_back(line);
        root->Load(nullptr, "root", false, nullptr, this, false);
    };

    if (!Exists(source)) {
        startNew(AbsoluteText(source) + " does not exist");
        return;
    }
    std::ifstream in(source, std::ios::binary);
    std::error_code ec;
    if (!in || std::filesystem::is_directory(source, ec)) {
        // Unreadable: start as a new document so a save still writes a well-formed file.
        startNew(AbsoluteText(source) + " could not be read");
        return;
    }

    plistLineReader reader(in);
    std::string line;
    bool opened = false;
    while (reader.ReadLine(line)) {
        if (EqualsNoCase(line, "<dict>")) {
            headers.push_back(line);
            opened = true;
            break;
        }
        if (EqualsNoCase(line, "<dict/>")) {
            // An empty root as other writers put it; kept as "<dict>" so a save closes it correctly.
            headers.push_back("<dict>");
            root->Load(nullptr, "root", false, nullptr, this, false);
            return;
        }
        headers.push_back(line);
    }
    if (opened && !root->Load(&reader, "root", false, nullptr, this, true)) {
        // Nested too deep to be accepted: no property list, so every line of the file is a header line, as
        // for any other file that is none.
        headers.assign(1, std::string());
        std::ifstream again(source, std::ios::binary);
        plistLineReader all(again);
        while (all.ReadLine(line)) headers.push_back(line);
        opened = false;
    }
    if (!opened) {
        error = true;
        errorMessage = "Not a plist file";
        root->Load(nullptr, "root", false, nullptr, this, false);
    }
}

void plist::Save() {
    std::string out;
    for (std::size_t i = 1; i < headers.size(); ++i) {
        out += headers[i];
        out += '\n';
    }
    if (root) root->Write(out, 1);
    out += "</dict>\n</plist>\n";

    const std::string failure = plistFile::Replace(savePath, out);
    if (!failure.empty()) {
        error = true;
        errorMessage = failure;
    }
}
