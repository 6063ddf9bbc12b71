#pragma once
// What the document and node tests share: the tree as one text.

#include <string>

#include "plist/plist.h"

namespace plisttest {

// Entries in enumeration order as key:type=text; children in brackets, every child under a key. Children
// under no dict or array key are counted at the end.
inline std::string Dump(const plistDict& node) {
    std::string out = node.isArray ? "[" : "{";
    std::size_t shown = 0;
    for (std::int32_t i = 0; i < node.count(); ++i) {
        const std::string &key = node.types.Key(i), &type = node.types.ValueAt(i);
        const bool child = type == "dict" || type == "array";
        out += key + ":" + type;
        for (std::size_t c = 1; child && c < node.childrenNames.size(); ++c)
            if (node.childrenNames[c] == key && ++shown) out += node.children[c] ? Dump(*node.children[c]) : "null";
        const std::string* text = node.values.Find(key);
        out += (text ? "=" + *text : child ? "" : "(no text)") + ";";
    }
    if (shown + 1 != node.childrenNames.size()) out += "+" + std::to_string(node.childrenNames.size() - 1 - shown);
    return out + (node.isArray ? "]" : "}");
}

}  // namespace plisttest
