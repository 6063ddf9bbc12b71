// The node: typed access and its errors, how texts read as numbers and dates, keys and children, arrays and
// removal.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "plist/plistmap.h"
#include "plist_testfiles.h"

namespace {

using plisttest::Dump;
template <class T> std::string S(T v) { return std::to_string(v); }

class PlistDictTest : public ::testing::Test {
protected:
    // A missing file gives a new, empty document without touching the disk.
    plist doc{"/nonexistent-brindlex-dir/prefs.plist"};
    plistDict& root = *doc.root;
};

// Each row: a call (its result as text; "throws" for plistKeyError), and the error message after it, an earlier
// error ("earlier") having been set: a failure replaces it, some calls clear it, the others leave it alone.
// The rows run in order on one node; the last few change it.
TEST_F(PlistDictTest, EveryFailureMessageAndWhatClearsAnEarlierOne) {
    const std::vector<std::tuple<std::function<std::string(plistDict&)>, std::string, std::string>> cases = {
        {[](plistDict& r) { return r.GetString("prefs"); }, "Key prefs does not exist", ""},
        {[](plistDict& r) { return S(r.GetInteger("prefs")); }, "Illegal Type: prefs is a dict", "0"},
        {[](plistDict& r) { return S(r.GetDouble("list")); }, "Illegal Type: list is a array", S(0.0)},
        {[](plistDict& r) { return S(r.GetDate("prefs").has_value()); }, "Illegal Type: prefs is a dict", "0"},
        {[](plistDict& r) { return S(r.GetBoolean("s")); }, "Type Mismatch: s is a string", "0"},
        {[](plistDict& r) { return S(r.GetInteger("d")); }, "Type Mismatch: d is a date", "-1"},
        {[](plistDict& r) { return S(r.GetDouble("d")); }, "Type Mismatch: d is a date", S(-1.0)},
        {[](plistDict& r) { return S(r.GetDate("bad").has_value()); }, "Could not create date object from bad(abc)", "0"},
        {[](plistDict& r) { return S(r.CheckType("new", "integer")); }, "", "2"},
        {[](plistDict& r) { return S(r.CheckType("N", "INTEGER")); }, "", "1"},
        {[](plistDict& r) { return S(r.CheckType("n", "string")); }, "Type Mismatch: n is a integer", "0"},
        {[](plistDict& r) { return r.GetData("b"); }, "", "TRUE"},
        {[](plistDict& r) { return S(r.GetBoolean("b")) + S(r.TypeOK("n")); }, "earlier", "11"},
        {[](plistDict& r) { return r.GetType("absent"); }, "earlier", "throws"},
        {[](plistDict& r) { r.Remove("absent"); return S(r.count()); }, "earlier", "7"},
        // A node of no document reports its failures nowhere.
        {[](plistDict&) { plistDict loose; loose.AppendString("x"); return Dump(loose); }, "earlier", "{}"},
        {[](plistDict& r) { r.SetString("n", "x"); return r.values.Value("n"); }, "Type Mismatch: n is a integer", "5"},
        {[](plistDict& r) { r.AddChild("s"); return r.GetType("s") + S(r.children.size()); },
         "Child exists: s already exists", "string3"},
        {[](plistDict& r) { return S(r.AddArray("s")) + r.GetType("s"); }, "Array exists: s already exists", "0string"},
        {[](plistDict& r) { r.AppendInteger(1); return S(r.count()); }, "Not an array", "7"},
        {[](plistDict& r) { r.Remove(0); return S(r.count()); }, "Not an array", "7"},
        {[](plistDict& r) { r.child("list")->Remove(3); return S(r.child("list")->count()); }, "Subscript out of range", "3"},
        {[](plistDict& r) { r.child("list")->Remove(-1); return r.child("list")->values.Value("0"); },
         "Subscript out of range", "a"},
        {[](plistDict& r) { r.child("list")->AppendString("d"); return S(r.child("list")->count()); }, "", "4"},
        {[](plistDict& r) { return S(r.child("list")->AddArray("named")); }, "", "1"}};  // arrays too may have one
    root.SetString("s", "text");
    root.SetInteger("n", 5);
    root.SetString("bad", "abc");
    root.SetDate("d", plistDate(2005, 1, 1));
    root.types.Set("b", "Boolean");  // type names and boolean texts ignore letter case
    root.values.Set("b", "TRUE");
    root.AddChild("prefs");
    root.AddArray("list");
    for (const char* e : {"a", "b", "c"}) root.child("list")->AppendString(e);
    for (const auto& [call, message, result] : cases) {
        doc.error = true;
        doc.errorMessage = "earlier";
        std::string got = "throws";
        try {
            got = call(root);
        } catch (const plistKeyError&) {
        }
        EXPECT_EQ(std::make_tuple(got, doc.error, doc.errorMessage), std::make_tuple(result, !message.empty(), message));
    }
}

// Each row: a text, and what the typed reads make of it. GetInteger drops the fraction and saturates; GetDate
// takes year-month-day with an optional time, from a text of any scalar type; Remove takes only a text of
// digits as an index ("inf" and "nan" are keys), which a dictionary refuses.
TEST_F(PlistDictTest, TypedReadsOfATextAndRemoveByIndex) {
    const std::int32_t max = 2147483647, min = -max - 1;
    struct Case { const char* text; std::int32_t integer; double real; const char* date; bool index; };
    const Case cases[] = {{"12.9", 12, 12.9, "", true}, {" -7.9", -7, -7.9, "", true}, {"+5 ", 5, 5, "", true},
        {".5", 0, 0.5, "", true}, {"1e3", 1000, 1000, "", true}, {"17abc", 17, 17, "", false}, {"abc", 0, 0, "", false},
        {"", 0, 0, "", false}, {"+-1", 0, 0, "", false}, {"1e-999", 0, 0, "", true}, {"1e999", max, HUGE_VAL, "", true},
        {"99999999999", max, 99999999999.0, "", true}, {"-99999999999", min, -99999999999.0, "", true},
        {"-1e999", min, -HUGE_VAL, "", true}, {"inf", max, HUGE_VAL, "", false}, {"-nan", 0, NAN, "", false},
        {"2005-01-01", 2005, 2005, "2005-01-01T00:00:00Z", false}, {"2023-02-29", 2023, 2023, "", false},
        {"2005-1-2T7:08", 2005, 2005, "2005-01-02T07:08:00Z", false}, {"2005-13-01", 2005, 2005, "", false},
        {"2024-02-29T23:59:59Z", 2024, 2024, "2024-02-29T23:59:59Z", false}, {"2005-01-012", 2005, 2005, "", false},
        {"2005-01-00", 2005, 2005, "", false}, {"2005-001-01", 2005, 2005, "", false}};
    root.SetString("big", "-1" + std::string(400, '0'));   // too big for a double, not too small
    EXPECT_EQ(root.GetDouble("big"), -HUGE_VAL);
    for (const auto& c : cases) {
        root.SetString(c.text, c.text);
        EXPECT_EQ(root.GetInteger(c.text), c.integer) << c.text;
        const double real = root.GetDouble(c.text);
        EXPECT_TRUE(real == c.real || (std::isnan(real) && std::isnan(c.real))) << c.text << " " << real;
        const auto date = root.GetDate(c.text);
        EXPECT_EQ(date ? plistDict::DateText(*date) : "", c.date) << c.text;
        root.Remove(c.text);
        EXPECT_EQ(root.values.HasKey(c.text), c.index) << c.text;
    }
    // Doubles are written in the shortest text that reads back the same; whole numbers as plain digits.
    for (double v : {0.1, 1.0 / 3.0, 1e300, -2.5e-300, 4503599627370497.0, 1e6}) {
        root.SetDouble("d", v);
        EXPECT_EQ(root.GetDouble("d"), v) << root.values.Value("d");
    }
    EXPECT_EQ(root.values.Value("d"), "1000000");
}

// Keys ignore letter case (ASCII letters only) and keep their first spelling and their place. A second child
// under one name is kept beside the first; removing the name takes the last child of it. Children added
// straight to the lists are found too.
TEST_F(PlistDictTest, KeysChildrenAndIteration) {
    for (const char* key : {"DatabaseFileName", "DATABASEFILENAME", "\u00c4rger"}) root.SetString(key, key);
    root.SetData("\u00e4rger", "lower");
    root.AddChild("prefs");
    root.child("prefs")->SetString("which", "first");
    EXPECT_EQ(root.child("prefs")->CurrentKey(), "which") << "a new dictionary's iteration starts at its first key";
    root.AddChild("PREFS");
    root.SetBoolean("on", true);
    std::vector<std::string> seen;
    for (root.MoveFirst(); !root.eof; root.MoveNext()) seen.push_back(root.CurrentKey());
    seen.push_back(root.CurrentKey());   // past the end: back at the first
    root.MoveLast();
    seen.push_back(root.CurrentKey());
    root.currentIndex = 5;
    seen.push_back(root.CurrentKey());
    seen.push_back(S(root.eof) + S(root.currentIndex));
    EXPECT_EQ(seen, (std::vector<std::string>{"DatabaseFileName", "\u00c4rger", "\u00e4rger", "prefs", "on", "DatabaseFileName", "on", "", "10"}));
    for (const char* key : {"\u00c4RGER", "prefs"}) root.Remove(key);
    EXPECT_EQ(Dump(root), "{DatabaseFileName:string=DATABASEFILENAME;\u00e4rger:data=lower;on:boolean=true;+1}");
    EXPECT_EQ(root.child("Prefs")->GetString("which"), "first");
    root.children.push_back(std::make_unique<plistDict>());
    root.childrenNames.push_back("extra");
    EXPECT_EQ(root.child("extra"), root.children.back().get());
    std::swap(root.childrenNames[1], root.childrenNames[2]);   // moved in the lists: found where it is now
    std::swap(root.children[1], root.children[2]);
    EXPECT_EQ(root.child("extra"), root.children[1].get());
}

// Appends number the elements. Each row then removes one, going on from the row before, and gives the array
// after: a text that reads as a number is an index, and the later elements move down; any other is a key.
TEST_F(PlistDictTest, AppendAndRemoveNumberTheElements) {
    root.AddArray("list");
    plistDict& a = *root.child("list");
    a.AppendString("a");
    a.AppendArray();
    a.index(a.indexOf)->AppendString("deep");
    a.AppendInteger(5);
    a.AppendDict();
    a.AppendBoolean(true);
    a.AppendDouble(0.25);
    a.AppendData("aGVsbG8=");
    a.AppendDate(plistDate(2006, 2, 2, 14, 5, 9));
    const std::pair<const char*, const char*> cases[] = {
        {"absent", "[0:string=a;1:array[0:string=deep;];2:integer=5;3:dict{};4:boolean=true;5:double=0.25;"
                   "6:data=aGVsbG8=;7:date=2006-02-02T14:05:09Z;]"},
        {"7", "[0:string=a;1:array[0:string=deep;];2:integer=5;3:dict{};4:boolean=true;5:double=0.25;6:data=aGVsbG8=;]"},
        {"1.0", "[0:string=a;1:integer=5;2:dict{};3:boolean=true;4:double=0.25;5:data=aGVsbG8=;]"},
        {"0", "[0:integer=5;1:dict{};2:boolean=true;3:double=0.25;4:data=aGVsbG8=;]"}};
    for (const auto& [removed, after] : cases) {
        a.Remove(removed);
        EXPECT_EQ(Dump(a), after) << removed;
        for (std::int32_t i = 0; i < a.count(); ++i) {  // a moved child is found, and named, by its new number
            const bool container = a.GetType(S(i)) == "dict" || a.GetType(S(i)) == "array";
            EXPECT_EQ(a.index(i) ? a.index(i)->name : "none", container ? S(i) : "none") << removed;
        }
    }
    a.AppendDict();   // after the removals, a new element's child is found by its number too
    EXPECT_NE(a.index(a.count() - 1), nullptr);
}

// The case-insensitive, insertion-ordered map behind a node's values and types.
TEST(plistMap, OrderSpellingRemovalAndAbsentKeys) {
    plistMap m;
    for (int i = 0; i < 100; ++i) m.Set("k" + std::to_string(i), std::to_string(i));
    m.Set("K5", "five");  // replaced in place, the first spelling kept
    EXPECT_TRUE(m.Remove("K10") && !m.Remove("k10"));
    EXPECT_EQ(m.Key(5) + m.ValueAt(5) + m.Key(10), "k5fivek11");  // later keys moved up
    m.Set("k10", "back");  // a removed key comes back at the end
    for (int i = 20; i < 80; ++i) m.Remove("k" + std::to_string(i));  // more gaps than entries on the way
    EXPECT_EQ(m.Count(), 40);
    EXPECT_EQ(m.Key(18) + m.Key(19) + m.Key(39) + m.Value("k99") + m.Value("K10"), "k19k80k1099back");
    try {
        m.Value("nope");
        ADD_FAILURE() << "no exception";
    } catch (const std::out_of_range& e) {  // a plistKeyError, which is one
        EXPECT_EQ(dynamic_cast<const plistKeyError&>(e).key() + " / " + e.what(), "nope / Key not found: nope");
    }
}

}  // namespace
