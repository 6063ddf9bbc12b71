#include "plist/plistmap.h"

plistKeyError::plistKeyError(const std::string& key) : std::out_of_range("Key not found: " + key), key_(key) {}

const std::string& plistMap::Value(const std::string& key) const {
    auto it = index_.find(key);
    if (it == index_.end()) throw plistKeyError(key);
    return entries_[it->second].second;
}

const std::string* plistMap::Find(const std::string& key) const {
    auto it = index_.find(key);
    return it == index_.end() ? nullptr : &entries_[it->second].second;
}

void plistMap::Set(const std::string& key, std::string value) {
    auto [it, added] = index_.try_emplace(key, entries_.size());
    if (added) entries_.emplace_back(key, std::move(value));
    else entries_[it->second].second = std::move(value);
}

bool plistMap::Remove(const std::string& key) {
    auto it = index_.find(key);
    if (it == index_.end()) return false;
    const std::size_t pos = it->second;
    index_.erase(it);
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
    for (std::size_t i = pos; i < entries_.size(); ++i) index_[entries_[i].first] = i;
    return true;
}

void plistMap::Clear() {
    entries_.clear();
    index_.clear();
}
