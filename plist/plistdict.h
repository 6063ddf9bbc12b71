#pragma once
// One dictionary or array node of a property-list tree.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "plist/plistdate.h"
#include "plist/plistmap.h"
#include "plist/plisttext.h"

class plist;
class plistLineReader;

/// Every value is kept as text with the name of its type. Keys ignore letter case and enumerate in the
/// order they were added. Failures are recorded in the owning document's error state; the one raised error
/// is plistKeyError (a std::out_of_range) from the typed reads of a key the node does not hold.
class plistDict {
public:
    plistDict();
    ~plistDict();
    plistDict(const plistDict&) = delete;
    plistDict& operator=(const plistDict&) = delete;

    plistMap values;                                   ///< text of every scalar entry
    plistMap types;                                    ///< type name of every entry, scalar or child
    std::vector<std::unique_ptr<plistDict>> children;  ///< child nodes; [0] is a null placeholder
    std::string name;                                  ///< key in the parent; "root" for the root
    std::vector<std::string> childrenNames;            ///< parallel to children; [0] is an empty placeholder
    std::int32_t indexOf = -1;                         ///< in an array, the index of the element added last
    bool isArray = false;
    plistDict* parent = nullptr;                       ///< back reference, not owned
    plist* rootClass = nullptr;                        ///< the document errors are reported in
    std::int32_t currentIndex = 0;                     ///< key iteration position (0-based)
    bool eof = false;                                  ///< set when the iteration runs past the last key

    /// The deepest nesting of dictionaries and arrays a file may have, the root counted: deeper ones are no
    /// property list the program accepts (saving them again would cost memory out of all proportion).
    static constexpr std::size_t kMaxDepth = 512;

    // Reading (plistdictread.cpp). stream may be null: the node is then set up empty. False when the body nests
    // deeper than kMaxDepth below this node: the node is then left empty, and the rest of the stream unread.
    bool Load(plistLineReader* stream, const std::string& name, bool isArray, plistDict* parent, plist* document,
              bool readBody);
    /// The line without its leading control characters (tabs, CR, LF and the like).
    static std::string StripAll(const std::string& line);

    plistDict* child(const std::string& name);
    std::string GetValue(const std::string& key);
    /// Throws plistKeyError for a key the node does not hold.
    std::string GetType(const std::string& key) const;
    plistDict* index(std::int32_t i);

    /// Writes the node's entries as property-list lines, each indented by level tabs and ended by LF.
    void Write(std::string& out, std::int32_t level) const;

    std::string GetString(const std::string& key);
    /// False (with an error) when the key names a child; throws plistKeyError for a key not held.
    bool TypeOK(const std::string& key);
    /// Throws plistKeyError for a key not held.
    std::int32_t GetInteger(const std::string& key);
    /// Throws plistKeyError for a key not held.
    bool GetBoolean(const std::string& key);
    /// Throws plistKeyError for a key not held; none when the key names a child or its text is no date.
    std::optional<plistDate> GetDate(const std::string& key);
    std::string GetData(const std::string& key);
    void SetBoolean(const std::string& key, bool value);
    /// 2: a new key; 1: the key holds that type; 0: it holds another type (an error).
    std::int32_t CheckType(const std::string& key, const std::string& typeName);
    void SetString(const std::string& key, const std::string& value);
    /// Takes a double; callers holding an integer pass it converted.
    void SetInteger(const std::string& key, double value);
    /// Throws plistKeyError for a key not held.
    double GetDouble(const std::string& key);
    void SetDouble(const std::string& key, double value);
    void SetData(const std::string& key, const std::string& value);
    void SetDate(const std::string& key, const plistDate& value);
    static std::string MakeTwo(std::int32_t n);
    /// Adds a child dictionary; a name that holds a scalar is refused, a name that holds a child is not.
    void AddChild(const std::string& name);

    // Arrays and removal (plistdictarray.cpp).
    bool AddArray(const std::string& name);
    void AppendInteger(std::int32_t value);
    void AppendDict();
    void AppendArray();
    void AppendBoolean(bool value);
    void AppendDouble(double value);
    void AppendString(const std::string& value);
    void AppendData(const std::string& value);
    void AppendDate(const plistDate& value);
    bool CheckArray();
    /// Removes an array element and renumbers the later ones.
    void Remove(std::int32_t index);
    /// A text that reads as a number is an array index; any other text is a key.
    void Remove(const std::string& keyOrIndex);
    void Remove(const char* keyOrIndex) { Remove(std::string(keyOrIndex)); }

    std::int32_t count() const { return types.Count(); }
    void MoveNext();
    void MoveFirst();
    void MoveLast();
    std::string CurrentKey();

    static std::string DateText(const plistDate& date);

private:
    void ClearError();
    void Fail(const std::string& message);
    void StoreScalar(const std::string& key, const std::string& typeName, std::string text);
    plistDict* AttachChild(const std::string& key, bool array);
    void AppendScalar(const char* typeName, std::string text);
    void AppendChild(bool array);
    /// Position in children of the first child with that name, or 0.
    std::size_t FindChild(const std::string& name) const;
    void ForgetChildIndex() { childIndexSize_ = 0; }

    mutable std::unordered_map<std::string, std::size_t, plistText::NoCaseHash, plistText::NoCaseEqual> childIndex_;
    mutable std::size_t childIndexSize_ = 0;  ///< size of childrenNames the index was built for; 0 = stale
};
