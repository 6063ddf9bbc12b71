#pragma once
// A text-keyed map of texts that ignores letter case in its keys and enumerates in insertion order.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "plist/plisttext.h"

/// The missing-key error of the store's typed reads.
class plistKeyError : public std::out_of_range {
public:
    explicit plistKeyError(const std::string& key);
    const std::string& key() const noexcept { return key_; }

private:
    std::string key_;
};

class plistMap {
public:
    bool HasKey(const std::string& key) const { return index_.find(key) != index_.end(); }
    /// The text under key; throws plistKeyError when the key is absent.
    const std::string& Value(const std::string& key) const;
    /// The text under key, or nullptr.
    const std::string* Find(const std::string& key) const;
    /// Replaces the text of an existing key in place (its first spelling and position stay), else appends.
    void Set(const std::string& key, std::string value);
    /// Returns false when the key was absent. Linear in the number of later entries.
    bool Remove(const std::string& key);
    void Clear();

    std::int32_t Count() const { return static_cast<std::int32_t>(entries_.size()); }
    /// Key and text at a 0-based position in insertion order.
    const std::string& Key(std::int32_t i) const { return entries_.at(static_cast<std::size_t>(i)).first; }
    const std::string& ValueAt(std::int32_t i) const { return entries_.at(static_cast<std::size_t>(i)).second; }

private:
    std::vector<std::pair<std::string, std::string>> entries_;
    std::unordered_map<std::string, std::size_t, plistText::NoCaseHash, plistText::NoCaseEqual> index_;
};
