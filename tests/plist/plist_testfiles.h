#pragma once
// What several test files share: the tree as one text, and the document the interoperability test exchanges.

#include <string>

#include "plist/plist.h"

namespace plisttest {

// Entries in enumeration order as key:type=text; children in brackets, every child under a key. Children
// under no dict or array key are counted at the end.
inline std::string Dump(const plistDict& node) {
    std::string out = node.isArray ? "[" : "{";
    std::size_t shown = 0;
    for (std::int32_t i = 0; i < node.count(); ++i) {
        const std::string& key = node.types.Key(i);
        const std::string& type = node.types.ValueAt(i);
        out += key + ":" + type;
        for (std::size_t c = 1; (type == "dict" || type == "array") && c < node.childrenNames.size(); ++c)
            if (node.childrenNames[c] == key && ++shown) out += node.children[c] ? Dump(*node.children[c]) : "null";
        if (const std::string* text = node.values.Find(key)) out += "=" + *text;
        else if (type != "dict" && type != "array") out += "(no text)";
        out += ";";
    }
    if (shown + 1 != node.childrenNames.size()) out += "+" + std::to_string(node.childrenNames.size() - 1 - shown);
    return out + (node.isArray ? "]" : "}");
}

inline const std::string kBlob =
    "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+P0BBQkNERUZHSElKS0xN"
    "Tk9QUVJTVFVWV1hZWltcXV5fYGFiYw==";

// Mirrors DOCUMENT in tests/plist/plist_interop.py, in the same order.
inline void BuildSharedDocument(plistDict& r) {
    r.SetString("Tom & Jerry <1>", "a & b < c > d");
    r.SetString("entities", "&amp; &#38; &lt;");
    r.SetString("Gr\u00f6\u00dfe", "Z\u00fcrich \u2013 \u6771\u4eac \u2713 \U0001F600");
    r.SetString("multi", "line one\nline two\n\tindented");
    r.SetString("empty", "");
    r.SetInteger("min", -2147483648.0);
    r.SetInteger("max", 2147483647);
    r.SetBoolean("on", true);
    r.SetBoolean("off", false);
    r.SetDate("when", plistDate(2004, 3, 5, 9, 7, 3));
    r.SetData("blob", kBlob);
    r.AddChild("nested");
    r.child("nested")->AddChild("inner");
    r.child("nested")->child("inner")->SetString("deep", "yes & no");
    r.child("nested")->AddChild("empty dict");
    r.child("nested")->AddArray("empty array");
    r.AddArray("array");
    plistDict& array = *r.child("array");
    array.AppendString("x");
    array.AppendInteger(5);
    array.AppendBoolean(false);
    array.AppendArray();
    array.index(3)->AppendString("nested");
    array.index(3)->AppendInteger(2);
    array.AppendDict();
    array.index(4)->SetString("name", "d");
    array.AppendArray();
    array.AppendDict();
}

}  // namespace plisttest
