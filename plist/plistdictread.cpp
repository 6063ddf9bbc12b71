// Reading a dictionary or array body, one line at a time.

#include "plist/plistdict.h"
#include "plist/plistlinereader.h"

using namespace plistText;

namespace {

// What one node's read carries from line to line.
struct NodeRead {
    NodeRead(plistDict* n, const char* end) : node(n), endTag(end) {}
    plistDict* node;
    const char* endTag;     // "</dict>" or "</array>"
    std::string key;        // the key the next value goes under
    std::string typeName;   // the element opened last
    std::string closeTag;   // "</" + typeName + ">" while a value spans lines
    std::string openKey;    // the key that value was opened under; its old text is gone unless it closes
    std::string collected;  // the fragments of that value so far
    bool inValue = false;
    // Where the node's children stand by name, built when a value first replaces a child. A replaced child
    // leaves a null in children until the node ends, so each replacement costs only its own children.
    std::unordered_map<std::string, std::vector<std::size_t>, NoCaseHash, NoCaseEqual> childAt;
    bool indexed = false;
    bool gaps = false;
};

// Drops the children under a key that the file then gives a scalar value, so what is read is what is saved.
// Returns false when the key held none.
bool DropChildren(NodeRead& st, const std::string& key) {
    plistDict& node = *st.node;
    // Within a read a key holds children exactly when its type is dict or array.
    const std::string* type = node.types.Find(key);
    if (!type || !(EqualsNoCase(*type, "dict") || EqualsNoCase(*type, "array"))) return false;
    if (!st.indexed) {
        for (std::size_t p = 1; p < node.children.size(); ++p) st.childAt[node.childrenNames[p]].push_back(p);
        st.indexed = true;
    }
    auto it = st.childAt.find(key);
    if (it == st.childAt.end()) return false;
    for (std::size_t p : it->second) node.children[p].reset();
    st.childAt.erase(it);
    st.gaps = true;
    return true;
}

// Closes the places of the dropped children, keeping the order of the others.
void CloseGaps(plistDict& node) {
    std::size_t out = 1;
    for (std::size_t p = 1; p < node.children.size(); ++p) {
        if (!node.children[p]) continue;
        if (out != p) {
            node.children[out] = std::move(node.children[p]);
            node.childrenNames[out] = std::move(node.childrenNames[p]);
        }
        ++out;
    }
    node.children.resize(out);
    node.childrenNames.resize(out);
}

}  // namespace

std::string plistDict::StripAll(const std::string& line) { return std::string(StripControl(line)); }

bool plistDict::Load(plistLineReader* stream, const std::string& nodeName, bool array, plistDict* parentNode,
                     plist* document, bool readBody) {
    values.Clear();
    types.Clear();
    children.clear();
    children.emplace_back();
    childrenNames.assign(1, std::string());
    ForgetChildIndex();
    name = nodeName;
    parent = parentNode;
    rootClass = document;
    indexOf = -1;
    isArray = array;
    currentIndex = 0;
    eof = false;
    if (!readBody || !stream) return true;

    // Nested nodes share the stream; an explicit stack instead of recursion keeps a deeply nested file
    // from exhausting the call stack.
    std::vector<NodeRead> stack;
    stack.emplace_back(this, array ? "</array>" : "</dict>");
    auto endNode = [&] {
        NodeRead& st = stack.back();
        if (st.inValue) st.node->values.Remove(st.openKey);  // no stale text for a value that never closed
        if (st.gaps) {
            CloseGaps(*st.node);
            st.node->ForgetChildIndex();
        }
        stack.pop_back();
    };
    std::string raw;
    while (!stack.empty() && stream->ReadLine(raw)) {
        NodeRead& st = stack.back();
        plistDict& node = *st.node;
        const std::string_view line = StripControl(raw);

        if (StartsWithNoCase(line, "<key>")) {
            if (!node.isArray) {
                std::string_view rest = line.substr(5);
                if (EndsWithNoCase(rest, "</key>")) rest.remove_suffix(6);
                st.key = Decode(rest);
            }
            continue;
        }
        if (StartsWithNoCase(line, "<key/>")) {  // an empty key written self-closing
            if (!node.isArray) st.key.clear();
            continue;
        }
        if (EqualsNoCase(line, st.endTag)) {
            endNode();
            continue;
        }

        if (st.inValue) {
            // A text's fragments are its lines, taken whole, so leading tabs of a line survive; Base64 data
            // ignores layout, so its fragments lose their indentation and join with nothing.
            const bool isData = EqualsNoCase(st.typeName, "data");
            std::string_view fragment = isData ? line : std::string_view(raw);
            if (!(isData && EqualsNoCase(fragment, st.closeTag))) {
                const std::size_t close = FindNoCase(fragment, st.closeTag);
                if (close != std::string_view::npos) fragment = fragment.substr(0, close);
                if (!isData) st.collected += '\n';
                st.collected.append(fragment);
                if (close == std::string_view::npos) continue;
            }
            st.inValue = false;
            if (!EqualsNoCase(st.openKey, st.key)) {
                // A key line came between: the text goes to that key, and replaces children there as any value.
                node.values.Remove(st.openKey);
                if (DropChildren(st, st.key)) node.types.Set(st.key, st.typeName);
            }
            node.values.Set(st.key, Decode(st.collected));
            st.collected.clear();
            continue;
        }

        // An element line starts with its tag; others (a body indented with spaces, loose text) carry nothing.
        const std::size_t gt = line.find('>');
        if (gt == std::string_view::npos || line.front() != '<') continue;
        std::string_view tag = line.substr(1, gt - 1);
        // Stray closing tags, comments and processing instructions carry no value.
        if (tag.empty() || tag.front() == '/' || tag.front() == '!' || tag.front() == '?') continue;

        if (node.isArray) {
            node.indexOf = node.count();
            st.key = std::to_string(node.indexOf);
        }
        if (EqualsNoCase(tag, "true/") || EqualsNoCase(tag, "false/")) {
            DropChildren(st, st.key);
            node.StoreScalar(st.key, "boolean", EqualsNoCase(tag, "true/") ? "true" : "false");
            st.typeName = "boolean";
            continue;
        }

        const bool selfClosing = tag.back() == '/';
        if (selfClosing) tag.remove_suffix(1);
        // A name that could not be written back as an element ("<array//>", "<a<b>") is no element.
        if (tag.empty() || tag.find_first_of("/<") != std::string_view::npos) continue;
        st.typeName.assign(tag);
        const bool isDict = EqualsNoCase(tag, "dict");
        if (isDict || EqualsNoCase(tag, "array")) {
            if (!selfClosing && stack.size() >= kMaxDepth) {
                Load(nullptr, nodeName, array, parentNode, document, false);
                return false;
            }
            plistDict* childNode = node.AttachChild(st.key, !isDict);
            if (st.indexed) st.childAt[st.key].push_back(node.children.size() - 1);
            if (!selfClosing) stack.emplace_back(childNode, isDict ? "</dict>" : "</array>");
            continue;  // st and node may dangle after the push
        }

        DropChildren(st, st.key);
        node.types.Set(st.key, st.typeName);
        if (selfClosing) {
            node.values.Set(st.key, std::string());  // "<string/>" is an empty value, not an open one
            continue;
        }
        const std::string_view rest = line.substr(gt + 1);
        const std::size_t close = FindNoCase(rest, "</" + st.typeName);
        if (close != std::string_view::npos) {
            node.values.Set(st.key, Decode(rest.substr(0, close)));
            continue;
        }
        st.inValue = true;
        st.openKey = st.key;
        st.closeTag = "</" + st.typeName + ">";
        st.collected.assign(rest);
    }
    while (!stack.empty()) endNode();  // the file ended inside these nodes
    return true;
}
