#include "plist/plistdict.h"

#include <cmath>
#include <limits>

#include "plist/plist.h"

using plistText::EqualsNoCase;

plistDict::plistDict() : children(1), childrenNames(1) {}

plistDict::~plistDict() {
    // Tear the subtree down with a work list, so a deeply nested file cannot exhaust the stack.
    std::vector<std::unique_ptr<plistDict>> doomed;
    for (auto& c : children)
        if (c) doomed.push_back(std::move(c));
    while (!doomed.empty()) {
        std::unique_ptr<plistDict> node = std::move(doomed.back());
        doomed.pop_back();
        for (auto& c : node->children)
            if (c) doomed.push_back(std::move(c));
    }
}

void plistDict::ClearError() {
    if (!rootClass) return;
    rootClass->error = false;
    rootClass->errorMessage.clear();
}

void plistDict::Fail(const std::string& message) {
    if (!rootClass) return;
    rootClass->error = true;
    rootClass->errorMessage = message;
}

void plistDict::StoreScalar(const std::string& key, const std::string& typeName, std::string text) {
    types.Set(key, typeName);
    values.Set(key, std::move(text));
}

plistDict* plistDict::AttachChild(const std::string& key, bool array) {
    types.Set(key, array ? "array" : "dict");
    values.Remove(key);  // a child entry has no text
    auto node = std::make_unique<plistDict>();
    node->name = key;
    node->isArray = array;
    node->parent = this;
    node->rootClass = rootClass;
    plistDict* raw = node.get();
    children.push_back(std::move(node));
    childrenNames.push_back(key);
    // The lookup index keeps first positions, so an append only adds names it has not seen.
    if (childIndexSize_ != 0 && childIndexSize_ + 1 == childrenNames.size()) {
        childIndex_.try_emplace(key, childrenNames.size() - 1);
        childIndexSize_ = childrenNames.size();
    }
    return raw;
}

std::size_t plistDict::FindChild(const std::string& name) const {
    // Callers may edit childrenNames directly: a changed size rebuilds the index, and a hit is trusted
    // only when the list still agrees with it.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 1 || childIndexSize_ != childrenNames.size()) {
            childIndex_.clear();
            for (std::size_t i = 1; i < childrenNames.size(); ++i) childIndex_.try_emplace(childrenNames[i], i);
            childIndexSize_ = childrenNames.size();
        }
        auto it = childIndex_.find(name);
        if (it == childIndex_.end()) return 0;
        const std::size_t pos = it->second;
        if (pos < childrenNames.size() && pos < children.size() && EqualsNoCase(childrenNames[pos], name))
            return pos;
    }
    return 0;
}

plistDict* plistDict::child(const std::string& name) {
    const std::size_t pos = FindChild(name);
    return pos ? children[pos].get() : nullptr;
}

plistDict* plistDict::index(std::int32_t i) { return child(std::to_string(i)); }

std::string plistDict::GetValue(const std::string& key) {
    ClearError();
    if (const std::string* text = values.Find(key)) {
        if (TypeOK(key)) return *text;
        return std::string();
    }
    Fail("Key " + key + " does not exist");
    return std::string();
}

std::string plistDict::GetType(const std::string& key) const { return types.Value(key); }

bool plistDict::TypeOK(const std::string& key) {
    const std::string& type = types.Value(key);
    if (EqualsNoCase(type, "dict") || EqualsNoCase(type, "array")) {
        Fail("Illegal Type: " + key + " is a " + type);
        return false;
    }
    return true;
}

std::int32_t plistDict::CheckType(const std::string& key, const std::string& typeName) {
    ClearError();
    const std::string* stored = types.Find(key);
    if (!stored) return 2;
    if (EqualsNoCase(*stored, typeName)) return 1;
    Fail("Type Mismatch: " + key + " is a " + *stored);
    return 0;
}

std::string plistDict::GetString(const std::string& key) { return GetValue(key); }
std::string plistDict::GetData(const std::string& key) { return GetValue(key); }

namespace {

std::int32_t ToInt32(double v) {
    // Drop the fraction; out-of-range values saturate instead of being undefined.
    if (std::isnan(v)) return 0;
    v = std::trunc(v);
    if (v >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (v <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

}  // namespace

double plistDict::GetDouble(const std::string& key) {
    if (!TypeOK(key)) return 0;
    if (EqualsNoCase(types.Value(key), "date")) {
        Fail("Type Mismatch: " + key + " is a date");
        return -1;
    }
    return plistText::ReadNumber(GetValue(key));
}

std::int32_t plistDict::GetInteger(const std::string& key) {
    if (!TypeOK(key)) return 0;
    if (EqualsNoCase(types.Value(key), "date")) {
        Fail("Type Mismatch: " + key + " is a date");
        return -1;
    }
    return ToInt32(plistText::ReadNumber(GetValue(key)));
}

bool plistDict::GetBoolean(const std::string& key) {
    const std::string& type = types.Value(key);
    if (EqualsNoCase(type, "boolean")) {
        const std::string* text = values.Find(key);
        return text && EqualsNoCase(*text, "true");
    }
    Fail("Type Mismatch: " + key + " is a " + type);
    return false;
}

std::optional<plistDate> plistDict::GetDate(const std::string& key) {
    if (!TypeOK(key)) return std::nullopt;
    plistDate date;
    const std::string s = GetValue(key);
    std::string_view datePart = s;
    std::string_view timePart;
    const std::size_t t = s.find('T');
    if (t != std::string::npos) {
        datePart = std::string_view(s).substr(0, t);
        timePart = std::string_view(s).substr(t + 1);
        if (!timePart.empty() && timePart.back() == 'Z') timePart.remove_suffix(1);
    }
    if (!date.ParseDate(datePart)) {
        Fail("Could not create date object from " + key + "(" + s + ")");
        return std::nullopt;
    }
    if (!timePart.empty()) {
        std::int32_t* fields[] = {&date.hour, &date.minute, &date.second};
        for (auto* f : fields) *f = 0;
        std::size_t from = 0;
        for (auto* f : fields) {
            if (from > timePart.size()) break;
            std::size_t colon = timePart.find(':', from);
            std::string_view field = timePart.substr(from, colon == std::string_view::npos ? colon : colon - from);
            *f = ToInt32(plistText::ReadNumber(field));
            from = (colon == std::string_view::npos) ? timePart.size() + 1 : colon + 1;
        }
    }
    return date;
}

void plistDict::SetString(const std::string& key, const std::string& value) {
    if (CheckType(key, "string") != 0) StoreScalar(key, "string", value);
}

void plistDict::SetData(const std::string& key, const std::string& value) {
    if (CheckType(key, "data") != 0) StoreScalar(key, "data", value);
}

void plistDict::SetInteger(const std::string& key, double value) {
    if (CheckType(key, "integer") != 0) StoreScalar(key, "integer", plistText::FormatNumber(value));
}

void plistDict::SetDouble(const std::string& key, double value) {
    if (CheckType(key, "double") != 0) StoreScalar(key, "double", plistText::FormatNumber(value));
}

void plistDict::SetBoolean(const std::string& key, bool value) {
    if (CheckType(key, "boolean") != 0) StoreScalar(key, "boolean", value ? "true" : "false");
}

void plistDict::SetDate(const std::string& key, const plistDate& value) {
    if (CheckType(key, "date") != 0) StoreScalar(key, "date", DateText(value));
}

std::string plistDict::MakeTwo(std::int32_t n) { return n < 10 ? "0" + std::to_string(n) : std::to_string(n); }

std::string plistDict::DateText(const plistDate& d) {
    return std::to_string(d.year) + "-" + MakeTwo(d.month) + "-" + MakeTwo(d.day) + "T" + MakeTwo(d.hour) + ":" +
           MakeTwo(d.minute) + ":" + MakeTwo(d.second) + "Z";
}

void plistDict::AddChild(const std::string& name) {
    ClearError();
    if (values.HasKey(name)) {
        Fail("Child exists: " + name + " already exists");
        return;
    }
    AttachChild(name, false);
}

void plistDict::MoveFirst() {
    currentIndex = 0;
    eof = false;
}

void plistDict::MoveNext() {
    ++currentIndex;
    if (currentIndex > count() - 1) {
        currentIndex = 0;
        eof = true;
    }
}

void plistDict::MoveLast() { currentIndex = count() - 1; }

std::string plistDict::CurrentKey() {
    if (currentIndex > count() - 1 || currentIndex < 0) {
        eof = true;
        currentIndex = 0;
        return std::string();
    }
    return types.Key(currentIndex);
}
