// Writing a node's entries as property-list lines.

#include "plist/plistdict.h"

using namespace plistText;

namespace {

// One node being written, and where its writing stands.
struct NodeWrite {
    const plistDict* node;
    std::int32_t level;
    std::int32_t entry = 0;           // next position in the node's types
    std::vector<std::size_t> pending;  // children still to write for the current entry
    std::size_t nextPending = 0;
    const char* closeLine = nullptr;  // written at the parent's level when this node is done
    // Child positions by name, built on the node's first child entry.
    std::unordered_map<std::string, std::vector<std::size_t>, NoCaseHash, NoCaseEqual> byName;
    bool indexed = false;
};

void Indent(std::string& out, std::int32_t level) {
    if (level > 0) out.append(static_cast<std::size_t>(level), '\t');
}

void Line(std::string& out, std::int32_t level, std::string_view a, std::string_view b = {},
          std::string_view c = {}) {
    Indent(out, level);
    out.append(a);
    out.append(b);
    out.append(c);
    out += '\n';
}

}  // namespace

void plistDict::Write(std::string& out, std::int32_t level) const {
    // An explicit stack instead of recursion, so a deeply nested tree cannot exhaust the call stack.
    std::vector<NodeWrite> stack;
    stack.emplace_back();
    stack.back().node = this;
    stack.back().level = level;
    while (!stack.empty()) {
        NodeWrite& w = stack.back();
        const plistDict& node = *w.node;

        if (w.nextPending < w.pending.size()) {
            const std::size_t pos = w.pending[w.nextPending++];
            const plistDict* c = node.children[pos].get();
            // Each child by its own kind: a file may hold a dictionary and an array under one key.
            const std::string tag = c->isArray ? "array" : "dict";
            if (c->count() == 0) {
                Line(out, w.level, "<", tag, "/>");
                continue;
            }
            Line(out, w.level, "<", tag, ">");
            const std::int32_t lvl = w.level;
            stack.emplace_back();  // w is invalid from here on
            NodeWrite& cw = stack.back();
            cw.node = c;
            cw.level = lvl + 1;
            cw.closeLine = EqualsNoCase(tag, "array") ? "</array>" : "</dict>";
            continue;
        }

        if (w.entry >= node.count()) {
            const char* close = w.closeLine;
            const std::int32_t lvl = w.level - 1;
            stack.pop_back();
            if (close) Line(out, lvl, close);
            continue;
        }

        const std::int32_t i = w.entry++;
        const std::string& key = node.types.Key(i);
        const std::string& type = node.types.ValueAt(i);
        if (!node.isArray) {
            Indent(out, w.level);
            out += "<key>";
            AppendEscaped(out, key, true);
            out += "</key>\n";
        }

        if (EqualsNoCase(type, "dict") || EqualsNoCase(type, "array")) {
            if (!w.indexed) {
                for (std::size_t p = 1; p < node.childrenNames.size() && p < node.children.size(); ++p)
                    if (node.children[p]) w.byName[node.childrenNames[p]].push_back(p);
                w.indexed = true;
            }
            auto it = w.byName.find(key);
            w.pending = it == w.byName.end() ? std::vector<std::size_t>() : it->second;
            w.nextPending = 0;
            continue;
        }

        const std::string* text = node.values.Find(key);
        static const std::string empty;
        const std::string& value = text ? *text : empty;  // a value left open in its file reads with no text
        if (EqualsNoCase(type, "boolean")) {
            Line(out, w.level, EqualsNoCase(value, "true") ? "<true/>" : "<false/>");
        } else if (EqualsNoCase(type, "data")) {
            Line(out, w.level, "<data>");
            Indent(out, w.level);
            AppendEscaped(out, value);
            out += '\n';
            Line(out, w.level, "</data>");
        } else {
            Indent(out, w.level);
            out += '<';
            out += type;
            out += '>';
            AppendEscaped(out, value);
            out += "</";
            out += type;
            out += ">\n";
        }
    }
}
