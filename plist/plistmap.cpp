#include "plist/plistmap.h"

plistKeyError::plistKeyError(const std::string& key) : std::out_of_range("Key not found: " + key), key_(key) {}

const std::string& plistMap::Value(const std::string& key) const {
    auto it = index_.find(key);
    if (it == index_.end()) throw plistKeyError(key);
    return it->second.value;
}

const std::string* plistMap::Find(const std::string& key) const {
    auto it = index_.find(key);
    return it == index_.end() ? nullptr : &it->second.value;
}

void plistMap::Set(const std::string& key, std::string value) {
    auto [it, added] = index_.try_emplace(key);
    it->second.value = std::move(value);
    if (!added) return;
    it->second.position = order_.size();
    order_.push_back(&*it);
}

bool plistMap::Remove(const std::string& key) {
    auto it = index_.find(key);
    if (it == index_.end()) return false;
    order_[it->second.position] = nullptr;
    index_.erase(it);
    // Closed before the gaps outnumber the entries, which bounds the memory they hold.
    if (++gaps_ > order_.size() / 2) CloseGaps();
    return true;
}

void plistMap::CloseGaps() const {
    std::size_t out = 0;
    for (const Index::value_type* entry : order_) {
        if (!entry) continue;
        entry->second.position = out;
        order_[out++] = entry;
    }
    order_.resize(out);
    gaps_ = 0;
}

const plistMap::Index::value_type& plistMap::At(std::int32_t i) const {
    if (gaps_) CloseGaps();
    return *order_.at(static_cast<std::size_t>(i));
}

void plistMap::Clear() {
    index_.clear();
    order_.clear();
    gaps_ = 0;
}
