// Array operations and removal of plistDict.

#include <cmath>
#include <limits>

#include "plist/plistdict.h"

using plistText::EqualsNoCase;

namespace {

// The element index a key stands for, or -1 when it is not the plain decimal text of an index.
long long IndexOfKey(const std::string& key) {
    if (key.empty() || key.size() > 10) return -1;
    if (key.size() > 1 && key[0] == '0') return -1;
    long long v = 0;
    for (char c : key) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

}  // namespace

bool plistDict::CheckArray() {
    ClearError();
    if (!isArray) {
        Fail("Not an array");
        return false;
    }
    return true;
}

bool plistDict::AddArray(const std::string& name) {
    ClearError();
    if (values.HasKey(name)) {
        Fail("Array exists: " + name + " already exists");
        return false;
    }
    AttachChild(name, true);
    return true;
}

void plistDict::AppendScalar(const char* typeName, std::string text) {
    if (!CheckArray()) return;
    indexOf = count();
    StoreScalar(std::to_string(indexOf), typeName, std::move(text));
}

void plistDict::AppendChild(bool array) {
    if (!CheckArray()) return;
    indexOf = count();
    AttachChild(std::to_string(indexOf), array);
}

void plistDict::AppendInteger(std::int32_t value) { AppendScalar("integer", std::to_string(value)); }
void plistDict::AppendDouble(double value) { AppendScalar("double", plistText::FormatNumber(value)); }
void plistDict::AppendString(const std::string& value) { AppendScalar("string", value); }
void plistDict::AppendData(const std::string& value) { AppendScalar("data", value); }
void plistDict::AppendBoolean(bool value) { AppendScalar("boolean", value ? "true" : "false"); }
void plistDict::AppendDate(const plistDate& value) { AppendScalar("date", DateText(value)); }
void plistDict::AppendDict() { AppendChild(false); }
void plistDict::AppendArray() { AppendChild(true); }

void plistDict::Remove(const std::string& keyOrIndex) {
    if (plistText::IsNumber(keyOrIndex)) {
        const double v = std::trunc(plistText::ReadNumber(keyOrIndex));
        // An index beyond int32 can only be out of range; keep it out of range after the conversion.
        if (v > std::numeric_limits<std::int32_t>::max()) Remove(std::numeric_limits<std::int32_t>::max());
        else if (v < std::numeric_limits<std::int32_t>::min() || std::isnan(v)) Remove(-1);
        else Remove(static_cast<std::int32_t>(v));
        return;
    }
    values.Remove(keyOrIndex);
    types.Remove(keyOrIndex);
    for (std::size_t pos = childrenNames.size(); pos-- > 1;) {
        if (!EqualsNoCase(childrenNames[pos], keyOrIndex)) continue;
        childrenNames.erase(childrenNames.begin() + static_cast<std::ptrdiff_t>(pos));
        if (pos < children.size()) children.erase(children.begin() + static_cast<std::ptrdiff_t>(pos));
        ForgetChildIndex();
        break;
    }
}

void plistDict::Remove(std::int32_t i) {
    if (!CheckArray()) return;
    const std::int32_t n = count();
    if (i < 0 || i > n - 1) {
        Fail("Subscript out of range");
        return;
    }
    // Rebuild both maps in one pass so the elements keep their order: removing a key and storing the moved
    // ones again one by one would append them at the end.
    auto newKey = [&](const std::string& key, bool& drop) {
        drop = false;
        const long long j = IndexOfKey(key);
        if (j == i) drop = true;
        if (j > i && j < n) return std::to_string(j - 1);
        return key;
    };
    plistMap newTypes;
    plistMap newValues;
    for (std::int32_t pos = 0; pos < n; ++pos) {
        const std::string& key = types.Key(pos);
        bool drop;
        std::string renamed = newKey(key, drop);
        if (drop) continue;
        if (const std::string* text = values.Find(key)) newValues.Set(renamed, *text);
        newTypes.Set(renamed, types.ValueAt(pos));
    }
    types = std::move(newTypes);
    values = std::move(newValues);

    std::size_t out = 1;
    for (std::size_t pos = 1; pos < childrenNames.size() && pos < children.size(); ++pos) {
        bool drop;
        std::string renamed = newKey(childrenNames[pos], drop);
        if (drop) continue;  // the removed element's child goes with it
        if (children[pos]) children[pos]->name = renamed;
        childrenNames[out] = std::move(renamed);
        if (out != pos) children[out] = std::move(children[pos]);
        ++out;
    }
    childrenNames.resize(out);
    children.resize(out);
    ForgetChildIndex();
}
