// The node: typed access, error state, children, iteration, arrays and removal.

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "plist_testfiles.h"

namespace {

using plisttest::Dump;
using Texts = std::vector<std::string>;

template <class T>
std::string S(T v) { return std::to_string(v); }

class PlistDictTest : public ::testing::Test {
protected:
    // A missing file gives a new, empty document without touching the disk.
    plist doc{"/nonexistent-brindlex-dir/prefs.plist"};
    plistDict& root = *doc.root;

    void SetError(bool error, const std::string& message) {
        doc.error = error;
        doc.errorMessage = message;
    }
    plistDict& NewArray(const std::string& name) {
        EXPECT_TRUE(root.AddArray(name));
        return *root.child(name);
    }
};

TEST_F(PlistDictTest, NumbersThroughTheirText) {
    const std::pair<const char*, std::int32_t> ints[] = {{"12.9", 12}, {" -7.9", -7}, {"+5", 5}, {"17abc", 17},
        {"1e3", 1000}, {"abc", 0}, {"", 0}, {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}};
    for (const auto& [text, value] : ints) {
        root.SetString("s", text);
        EXPECT_EQ(root.GetInteger("s"), value) << text;
    }
    EXPECT_EQ(root.GetDouble("s"), -99999999999.0);
    // Doubles are written in the shortest text that reads back the same; whole numbers as plain digits.
    for (double v : {0.1, 1.0 / 3.0, 1e300, -2.5e-300, 4503599627370497.0, 2147483648.0}) {
        root.SetDouble("d", v);
        EXPECT_EQ(root.GetDouble("d"), v) << root.values.Value("d");
    }
    EXPECT_EQ(root.values.Value("d"), "2147483648");
    EXPECT_FALSE(doc.error);
}

// Each row: a call (its result as text; "throws" for plistKeyError), and the error message after it, an earlier
// error ("earlier") having been set: a failure replaces it, some calls clear it, the others leave it alone.
// The rows run in order on one node; the last few change it.
TEST_F(PlistDictTest, EveryFailureMessageAndWhatClearsAnEarlierOne) {
    using Call = std::function<std::string(plistDict&)>;
    const std::vector<std::tuple<Call, std::string, std::string>> cases = {
        {[](plistDict& r) { return r.GetString("prefs"); }, "Key prefs does not exist", ""},
        {[](plistDict& r) { return r.GetData("list"); }, "Key list does not exist", ""},
        {[](plistDict& r) { return S(r.TypeOK("prefs")); }, "Illegal Type: prefs is a dict", "0"},
        {[](plistDict& r) { return S(r.GetInteger("prefs")); }, "Illegal Type: prefs is a dict", "0"},
        {[](plistDict& r) { return S(r.GetDouble("list")); }, "Illegal Type: list is a array", S(0.0)},
        {[](plistDict& r) { return r.GetDate("prefs") ? "date" : "none"; }, "Illegal Type: prefs is a dict", "none"},
        {[](plistDict& r) { return S(r.GetBoolean("s")); }, "Type Mismatch: s is a string", "0"},
        {[](plistDict& r) { return S(r.GetInteger("d")); }, "Type Mismatch: d is a date", "-1"},
        {[](plistDict& r) { return S(r.GetDouble("d")); }, "Type Mismatch: d is a date", S(-1.0)},
        {[](plistDict& r) { return r.GetDate("bad") ? "date" : "none"; }, "Could not create date object from bad(abc)", "none"},
        {[](plistDict& r) { return S(r.CheckType("new", "integer")); }, "", "2"},
        {[](plistDict& r) { return S(r.CheckType("N", "INTEGER")); }, "", "1"},
        {[](plistDict& r) { return S(r.CheckType("n", "string")); }, "Type Mismatch: n is a integer", "0"},
        {[](plistDict& r) { return r.GetString("b"); }, "", "true"},
        {[](plistDict& r) { return S(r.GetBoolean("b")) + S(r.TypeOK("n")); }, "earlier", "11"},
        {[](plistDict& r) { return r.GetType("absent"); }, "earlier", "throws"},
        {[](plistDict& r) { return S(r.TypeOK("absent")); }, "earlier", "throws"},
        {[](plistDict& r) { return S(r.GetInteger("absent")); }, "earlier", "throws"},
        {[](plistDict& r) { return S(r.GetDouble("absent")); }, "earlier", "throws"},
        {[](plistDict& r) { return r.GetDate("absent") ? "date" : "none"; }, "earlier", "throws"},
        {[](plistDict& r) { return S(r.GetBoolean("absent")); }, "earlier", "throws"},
        {[](plistDict& r) { r.Remove("absent"); return S(r.count()); }, "earlier", "7"},
        {[](plistDict& r) { r.SetString("n", "x"); return r.values.Value("n"); }, "Type Mismatch: n is a integer", "5"},
        {[](plistDict& r) { r.SetInteger("prefs", 1); return S(r.values.HasKey("prefs")); },
         "Type Mismatch: prefs is a dict", "0"},
        {[](plistDict& r) { r.AddChild("s"); return r.GetType("s") + S(r.children.size()); },
         "Child exists: s already exists", "string3"},
        {[](plistDict& r) { return S(r.AddArray("s")) + r.GetType("s"); }, "Array exists: s already exists", "0string"},
        {[](plistDict& r) { r.AppendInteger(1); return S(r.count()); }, "Not an array", "7"},
        {[](plistDict& r) { r.Remove(0); return S(r.count()); }, "Not an array", "7"},
        {[](plistDict& r) { r.child("list")->Remove(3); return S(r.child("list")->count()); }, "Subscript out of range", "3"},
        {[](plistDict& r) { r.child("list")->Remove(-1); return r.child("list")->values.Value("0"); },
         "Subscript out of range", "a"},
        {[](plistDict& r) { r.SetString("7", "x"); r.Remove("7"); return r.GetType("7"); }, "Not an array", "string"},
    };
    root.SetString("s", "text");
    root.SetInteger("n", 5);
    root.SetString("bad", "abc");
    root.SetDate("d", plistDate(2005, 1, 1));
    root.SetBoolean("b", true);
    root.AddChild("prefs");
    NewArray("list");
    for (const char* e : {"a", "b", "c"}) root.child("list")->AppendString(e);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [call, message, result] = cases[i];
        SetError(true, "earlier");
        std::string got;
        try {
            got = call(root);
        } catch (const plistKeyError&) {
            got = "throws";
        }
        EXPECT_EQ(got, result) << "row " << i;
        EXPECT_EQ(doc.error, !message.empty()) << "row " << i;
        EXPECT_EQ(doc.errorMessage, message) << "row " << i;
    }
}

TEST_F(PlistDictTest, DatesAsText) {
    const std::pair<const char*, std::optional<plistDate>> cases[] = {
        {"2005-01-01", plistDate(2005, 1, 1)}, {"2005-1-2T7:08", plistDate(2005, 1, 2, 7, 8, 0)},
        {"2024-02-29T23:59:59Z", plistDate(2024, 2, 29, 23, 59, 59)}, {"2023-02-29", std::nullopt},
        {"2005-13-01", std::nullopt}, {"01/02/2005", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        root.SetString("t", text);  // any scalar type with the right text reads as a date
        EXPECT_EQ(root.GetDate("t"), expected) << text;
        EXPECT_EQ(doc.error, !expected.has_value()) << text;
    }

    const std::time_t before = std::time(nullptr);
    const plistDate now;
    auto local = [](std::time_t t, std::tm tm = {}) {
        localtime_r(&t, &tm);
        return plistDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    };
    EXPECT_TRUE(now == local(before) || now == local(std::time(nullptr)));
}

// Keys ignore letter case (ASCII letters only) and keep their first spelling and their place. A second child
// under one name is kept beside the first; removing the name takes the last child of it.
TEST_F(PlistDictTest, KeysChildrenAndIteration) {
    root.SetString("DatabaseFileName", "a");
    root.SetString("DATABASEFILENAME", "b");
    root.SetString("Ärger", "upper");
    root.SetString("ärger", "lower");
    root.AddChild("prefs");
    root.child("prefs")->SetString("which", "first");
    root.AddChild("PREFS");
    root.SetString("nan", "x");  // words that a number parser might take are keys
    root.SetBoolean("on", true);
    root.values.Set("on", "TRUE");
    root.types.Set("ON", "Boolean");
    EXPECT_TRUE(root.GetBoolean("On"));
    Texts seen;
    for (root.MoveFirst(); !root.eof; root.MoveNext()) seen.push_back(root.CurrentKey());
    EXPECT_EQ(seen, (Texts{"DatabaseFileName", "Ärger", "ärger", "prefs", "nan", "on"}));
    root.MoveLast();
    EXPECT_EQ(root.CurrentKey(), "on");
    root.currentIndex = 7;
    EXPECT_EQ(root.CurrentKey(), "");
    EXPECT_TRUE(root.eof);

    for (const char* key : {"ÄRGER", "nan", "prefs"}) root.Remove(key);
    EXPECT_EQ(Dump(root), "{DatabaseFileName:string=b;ärger:string=lower;on:Boolean=TRUE;+1}");
    EXPECT_EQ(root.childrenNames, (Texts{"", "prefs"}));
    EXPECT_EQ(root.child("Prefs")->GetString("which"), "first");
    EXPECT_FALSE(doc.error);
}

TEST_F(PlistDictTest, AppendNumbersElements) {
    plistDict& a = NewArray("list");
    a.AppendString("a");
    a.AppendInteger(5);
    a.AppendBoolean(true);
    a.AppendDate(plistDate(2006, 2, 2, 14, 5, 9));
    a.AppendDouble(0.25);
    a.AppendData("aGVsbG8=");
    a.AppendArray();
    a.AppendDict();
    a.index(6)->AppendString("deep");
    EXPECT_EQ(Dump(a), "[0:string=a;1:integer=5;2:boolean=true;3:date=2006-02-02T14:05:09Z;4:double=0.25;"
                       "5:data=aGVsbG8=;6:array[0:string=deep;];7:dict{};]");

    SetError(true, "earlier");
    EXPECT_TRUE(a.AddArray("named"));  // works on arrays too, and clears an earlier error
    EXPECT_TRUE(a.child("named")->isArray);
    EXPECT_FALSE(doc.error);
}

// Each row: what is removed, and the array after. A text that reads as a number is an index; others are keys.
TEST_F(PlistDictTest, RemoveRenumbersTheLaterElements) {
    const std::pair<const char*, const char*> cases[] = {
        {"0", "[0:dict{t:string=x;};1:string=c;2:dict{t:string=y;};3:dict{t:string=z;};n:array[];]"},
        {"1", "[0:string=a;1:string=c;2:dict{t:string=y;};3:dict{t:string=z;};n:array[];]"},
        {"2", "[0:string=a;1:dict{t:string=x;};2:dict{t:string=y;};3:dict{t:string=z;};n:array[];]"},
        {"3.0", "[0:string=a;1:dict{t:string=x;};2:string=c;3:dict{t:string=z;};n:array[];]"},
        {"4", "[0:string=a;1:dict{t:string=x;};2:string=c;3:dict{t:string=y;};n:array[];]"},
        {"N", "[0:string=a;1:dict{t:string=x;};2:string=c;3:dict{t:string=y;};4:dict{t:string=z;};]"},
    };
    for (const auto& [removed, after] : cases) {
        root.Remove("a");
        plistDict& a = NewArray("a");
        for (const char* e : {"a", "{x", "c", "{y", "{z"}) {
            if (e[0] != '{') {
                a.AppendString(e);
                continue;
            }
            a.AppendDict();
            a.index(a.indexOf)->SetString("t", e + 1);
        }
        a.AddArray("n");
        a.Remove(removed);
        EXPECT_FALSE(doc.error);
        EXPECT_EQ(Dump(a), after);
        for (std::int32_t i = 0; i < a.count(); ++i)  // every child reachable under its new number, and named so
            EXPECT_EQ(a.index(i) ? a.index(i)->name : "-", a.types.ValueAt(i) == "dict" ? S(i) : "-") << removed;
        EXPECT_EQ(a.index(a.count()), nullptr);
    }
}

TEST_F(PlistDictTest, LooseNodesAndChildrenAddedStraightToTheLists) {
    plistDict loose;  // no document to report to
    loose.SetString("a", "1");
    loose.SetInteger("a", 2);
    EXPECT_EQ(loose.GetString("a"), "1");
    loose.AppendString("x");

    plistDict& a = NewArray("list");
    a.AppendDict();
    EXPECT_EQ(a.child("0"), a.children[1].get());
    a.children.push_back(std::make_unique<plistDict>());
    a.childrenNames.push_back("extra");
    EXPECT_EQ(a.child("extra"), a.children.back().get());
}

}  // namespace
