#pragma once
// A text-keyed map of texts that ignores letter case in its keys and enumerates in insertion order.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <unordered_map>
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

/// Not for use from two threads at once, reads included: a positional read may tidy the order.
class plistMap {
public:
    plistMap() = default;
    // The order points into the index's entries, which a move hands over and a copy would not.
    plistMap(const plistMap&) = delete;
    plistMap& operator=(const plistMap&) = delete;
    plistMap(plistMap&&) noexcept = default;
    plistMap& operator=(plistMap&&) noexcept = default;

    bool HasKey(const std::string& key) const { return index_.find(key) != index_.end(); }
    /// The text under key; throws plistKeyError when the key is absent.
    const std::string& Value(const std::string& key) const;
    /// The text under key, or nullptr.
    const std::string* Find(const std::string& key) const;
    /// Replaces the text of an existing key in place (its first spelling and position stay), else appends.
    void Set(const std::string& key, std::string value);
    /// Returns false when the key was absent. The entry leaves a gap in the order that the next positional
    /// read closes, so a run of removals costs one pass over the order, not one each.
    bool Remove(const std::string& key);
    void Clear();

    std::int32_t Count() const { return static_cast<std::int32_t>(order_.size() - gaps_); }
    /// Key and text at a 0-based position in insertion order.
    const std::string& Key(std::int32_t i) const { return At(i).first; }
    const std::string& ValueAt(std::int32_t i) const { return At(i).second.value; }

private:
    struct Slot {
        std::string value;
        mutable std::size_t position = 0;  ///< in order_
    };
    using Index = std::unordered_map<std::string, Slot, plistText::NoCaseHash, plistText::NoCaseEqual>;
    const Index::value_type& At(std::int32_t i) const;
    void CloseGaps() const;

    Index index_;
    /// The entries in insertion order, a removed one as a null until the gaps are closed. The index never
    /// moves its entries, so the texts handed out stay where they are while the order is tidied.
    mutable std::vector<const Index::value_type*> order_;
    mutable std::size_t gaps_ = 0;
};
