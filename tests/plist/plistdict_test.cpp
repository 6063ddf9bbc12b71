// The node: typed access, error state, children, iteration, arrays and removal.

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "plist/plist.h"

namespace {

class PlistDictTest : public ::testing::Test {
protected:
    // A missing file gives a new, empty document without touching the disk.
    plist doc{"/nonexistent-brindlex-dir/prefs.plist"};
    plistDict& root = *doc.root;

    void ClearErrorState() {
        doc.error = false;
        doc.errorMessage.clear();
    }
    std::vector<std::string> Keys(plistDict& node) {
        std::vector<std::string> keys;
        for (std::int32_t i = 0; i < node.count(); ++i) keys.push_back(node.types.Key(i));
        return keys;
    }
    plistDict& NewArray(const std::string& name) {
        EXPECT_TRUE(root.AddArray(name));
        return *root.child(name);
    }
};

TEST_F(PlistDictTest, NewNodeHoldsOnlyThePlaceholders) {
    plistDict node;
    EXPECT_EQ(node.count(), 0);
    ASSERT_EQ(node.children.size(), 1u);
    EXPECT_EQ(node.children[0], nullptr);
    ASSERT_EQ(node.childrenNames.size(), 1u);
    EXPECT_EQ(node.childrenNames[0], "");
    EXPECT_EQ(node.indexOf, -1);
    EXPECT_FALSE(node.isArray);
    EXPECT_EQ(node.rootClass, nullptr);
    EXPECT_EQ(root.name, "root");
    EXPECT_EQ(root.rootClass, &doc);
}

TEST_F(PlistDictTest, IntegerStoredAsPlainDigitsAndReadBack) {
    root.SetInteger("UpdateInterval", 30);
    EXPECT_EQ(root.GetInteger("UpdateInterval"), 30);
    EXPECT_FALSE(doc.error);
    EXPECT_EQ(root.GetType("UpdateInterval"), "integer");
    EXPECT_EQ(root.values.Value("UpdateInterval"), "30");
}

TEST_F(PlistDictTest, NumbersReadFromText) {
    struct Case { const char* text; std::int32_t asInt; double asDouble; };
    const Case cases[] = {
        {"abc", 0, 0.0},          {"12.9", 12, 12.9},           {"-7.9", -7, -7.9},
        {" 42", 42, 42.0},        {"+5", 5, 5.0},               {"17abc", 17, 17.0},
        {"1e3", 1000, 1000.0},    {"99999999999", 2147483647, 99999999999.0},
        {"-99999999999", -2147483647 - 1, -99999999999.0},      {"", 0, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        root.Remove("s");
        root.SetString("s", c.text);
        EXPECT_EQ(root.GetInteger("s"), c.asInt);
        EXPECT_DOUBLE_EQ(root.GetDouble("s"), c.asDouble);
        EXPECT_FALSE(doc.error);
    }
}

TEST_F(PlistDictTest, DoublesRoundTripThroughTheirText) {
    const double values[] = {2.5, 0.1, 1.0 / 3.0, 1e300, -2.5e-300, 123456789.125, 30.0, -0.5, 4503599627370497.0};
    for (double v : values) {
        root.Remove("d");
        root.SetDouble("d", v);
        EXPECT_EQ(root.GetDouble("d"), v) << root.values.Value("d");
    }
    root.Remove("d");
    root.SetDouble("d", 30);
    EXPECT_EQ(root.values.Value("d"), "30");
    root.Remove("d");
    root.SetDouble("d", 2.5);
    EXPECT_EQ(root.values.Value("d"), "2.5");
}

// Each row: what to set up, the call under test (its result as text), the message and the result.
TEST_F(PlistDictTest, EveryFailureMessageAndItsResult) {
    struct Case {
        const char* what;
        std::function<std::string(plistDict&)> call;
        std::string message;
        std::string result;
    };
    auto setup = [](plistDict& r) {
        r.SetString("s", "text");
        r.SetInteger("n", 5);
        r.SetString("bad", "abc");
        r.SetDate("d", plistDate(2005, 1, 1));
        r.AddChild("prefs");
        r.AddArray("list");
    };
    const std::vector<Case> cases = {
        {"GetString of an absent key", [](plistDict& r) { return r.GetString("nope"); }, "Key nope does not exist", ""},
        {"GetString of a child", [](plistDict& r) { return r.GetString("prefs"); }, "Key prefs does not exist", ""},
        {"GetData of a child", [](plistDict& r) { return r.GetData("list"); }, "Key list does not exist", ""},
        {"GetValue of a child", [](plistDict& r) { return r.GetValue("prefs"); }, "Key prefs does not exist", ""},
        {"TypeOK of a child", [](plistDict& r) { return std::to_string(r.TypeOK("prefs")); },
         "Illegal Type: prefs is a dict", "0"},
        {"GetInteger of a child", [](plistDict& r) { return std::to_string(r.GetInteger("prefs")); },
         "Illegal Type: prefs is a dict", "0"},
        {"GetDouble of an array", [](plistDict& r) { return std::to_string(r.GetDouble("list")); },
         "Illegal Type: list is a array", std::to_string(0.0)},
        {"GetDate of a child", [](plistDict& r) { return r.GetDate("prefs") ? "date" : "none"; },
         "Illegal Type: prefs is a dict", "none"},
        {"SetString on an integer", [](plistDict& r) { r.SetString("n", "x"); return r.values.Value("n"); },
         "Type Mismatch: n is a integer", "5"},
        {"SetInteger on a child", [](plistDict& r) { r.SetInteger("prefs", 1); return std::to_string(r.values.HasKey("prefs")); },
         "Type Mismatch: prefs is a dict", "0"},
        {"GetBoolean of a string", [](plistDict& r) { return std::to_string(r.GetBoolean("s")); },
         "Type Mismatch: s is a string", "0"},
        {"GetInteger of a date", [](plistDict& r) { return std::to_string(r.GetInteger("d")); },
         "Type Mismatch: d is a date", "-1"},
        {"GetDouble of a date", [](plistDict& r) { return std::to_string(r.GetDouble("d")); },
         "Type Mismatch: d is a date", std::to_string(-1.0)},
        {"GetDate of no date", [](plistDict& r) { return r.GetDate("bad") ? "date" : "none"; },
         "Could not create date object from bad(abc)", "none"},
        {"AddChild over a scalar", [](plistDict& r) { r.AddChild("s"); return r.GetType("s") + std::to_string(r.children.size()); },
         "Child exists: s already exists", "string3"},
        {"AddArray over a scalar", [](plistDict& r) { return std::to_string(r.AddArray("s")) + r.GetType("s"); },
         "Array exists: s already exists", "0string"},
        {"Append on a dictionary", [](plistDict& r) { r.AppendInteger(1); return std::to_string(r.count()); },
         "Not an array", "6"},
        {"Remove by index on a dictionary", [](plistDict& r) { r.Remove(0); return std::to_string(r.count()); },
         "Not an array", "6"},
        {"Remove of a number text on a dictionary", [](plistDict& r) { r.SetString("7", "x"); r.Remove("7"); return r.GetType("7"); },
         "Not an array", "string"},
        {"Remove past the end", [](plistDict& r) {
             plistDict& a = *r.child("list");
             a.AppendString("a"); a.AppendString("b"); a.AppendString("c");
             a.Remove(3);
             return std::to_string(a.count()); },
         "Subscript out of range", "3"},
        {"Remove of a negative index", [](plistDict& r) {
             plistDict& a = *r.child("list");
             a.AppendString("a");
             a.Remove(-1);
             return std::to_string(a.count()); },
         "Subscript out of range", "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        plist fresh("/nonexistent-brindlex-dir/x.plist");
        setup(*fresh.root);
        fresh.error = false;
        fresh.errorMessage.clear();
        EXPECT_EQ(c.call(*fresh.root), c.result);
        EXPECT_TRUE(fresh.error);
        EXPECT_EQ(fresh.errorMessage, c.message);
    }
}

TEST_F(PlistDictTest, MissingKeyRaisesAndLeavesTheErrorStateAlone) {
    const std::vector<std::pair<const char*, std::function<void()>>> reads = {
        {"GetType", [&] { root.GetType("absent"); }},
        {"TypeOK", [&] { root.TypeOK("absent"); }},
        {"GetInteger", [&] { root.GetInteger("absent"); }},
        {"GetDouble", [&] { root.GetDouble("absent"); }},
        {"GetDate", [&] { root.GetDate("absent"); }},
        {"GetBoolean", [&] { root.GetBoolean("absent"); }},
    };
    for (const auto& [name, read] : reads) {
        SCOPED_TRACE(name);
        doc.error = true;
        doc.errorMessage = "earlier";
        EXPECT_THROW(read(), std::out_of_range);
        EXPECT_TRUE(doc.error);
        EXPECT_EQ(doc.errorMessage, "earlier");
        ClearErrorState();
        EXPECT_THROW(read(), std::out_of_range);
        EXPECT_FALSE(doc.error);
        EXPECT_EQ(doc.errorMessage, "");
    }
    // The reads that test for the key first never raise.
    EXPECT_EQ(root.GetString("absent"), "");
    EXPECT_EQ(doc.errorMessage, "Key absent does not exist");
    EXPECT_EQ(root.CheckType("absent", "string"), 2);
}

TEST_F(PlistDictTest, CheckTypeResults) {
    root.SetInteger("n", 1);
    doc.error = true;
    EXPECT_EQ(root.CheckType("new", "integer"), 2);
    EXPECT_FALSE(doc.error);  // cleared first
    EXPECT_EQ(root.CheckType("n", "integer"), 1);
    EXPECT_EQ(root.CheckType("N", "INTEGER"), 1);
    EXPECT_FALSE(doc.error);
    EXPECT_EQ(root.CheckType("n", "string"), 0);
    EXPECT_EQ(doc.errorMessage, "Type Mismatch: n is a integer");
}

TEST_F(PlistDictTest, OnlySomeOperationsClearAnEarlierError) {
    root.SetBoolean("b", true);
    root.SetString("s", "x");
    doc.error = true;
    doc.errorMessage = "earlier";
    EXPECT_TRUE(root.GetBoolean("b"));
    EXPECT_TRUE(root.TypeOK("s"));
    EXPECT_EQ(doc.errorMessage, "earlier");
    EXPECT_EQ(root.GetString("s"), "x");
    EXPECT_FALSE(doc.error);
    EXPECT_EQ(doc.errorMessage, "");
}

TEST_F(PlistDictTest, SettersKeepAKeysTypeUntilRemoved) {
    root.SetString("k", "one");
    root.SetString("K", "two");
    EXPECT_EQ(root.GetString("k"), "two");
    EXPECT_EQ(root.count(), 1);
    root.SetBoolean("k", true);
    EXPECT_EQ(root.GetString("k"), "two");
    root.Remove("k");
    root.SetBoolean("k", true);
    EXPECT_TRUE(root.GetBoolean("k"));
    EXPECT_FALSE(doc.error);
}

TEST_F(PlistDictTest, BooleansIgnoreLetterCase) {
    root.SetBoolean("on", true);
    root.SetBoolean("off", false);
    EXPECT_TRUE(root.GetBoolean("on"));
    EXPECT_FALSE(root.GetBoolean("off"));
    EXPECT_EQ(root.values.Value("on"), "true");
    root.values.Set("on", "TRUE");
    EXPECT_TRUE(root.GetBoolean("on"));
    root.types.Set("on", "Boolean");
    EXPECT_TRUE(root.GetBoolean("on"));
}

TEST_F(PlistDictTest, KeysFoldOnlyAsciiLetters) {
    root.SetString("DatabaseFileName", "a");
    EXPECT_EQ(root.GetString("databasefilename"), "a");
    root.SetString("Ärger", "upper");
    root.SetString("ärger", "lower");
    EXPECT_EQ(root.count(), 3);
    EXPECT_EQ(root.GetString("ÄRGER"), "upper");
    EXPECT_EQ(root.GetString("äRGER"), "lower");
    EXPECT_EQ(root.types.Key(0), "DatabaseFileName");  // first spelling kept
}

TEST_F(PlistDictTest, DatesAsText) {
    root.SetDate("d", plistDate(2005, 1, 1, 0, 0, 0));
    EXPECT_EQ(root.values.Value("d"), "2005-01-01T00:00:00Z");
    EXPECT_EQ(root.GetType("d"), "date");
    EXPECT_EQ(root.GetDate("d"), plistDate(2005, 1, 1, 0, 0, 0));
    root.Remove("d");
    root.SetDate("d", plistDate(2004, 3, 5, 9, 7, 3));
    EXPECT_EQ(root.values.Value("d"), "2004-03-05T09:07:03Z");
    EXPECT_EQ(root.GetDate("d"), plistDate(2004, 3, 5, 9, 7, 3));

    struct Case { const char* text; std::optional<plistDate> expected; };
    const Case cases[] = {
        {"2005-01-01", plistDate(2005, 1, 1, 0, 0, 0)},
        {"2005-1-2T7", plistDate(2005, 1, 2, 7, 0, 0)},
        {"2005-01-01T10:20", plistDate(2005, 1, 1, 10, 20, 0)},
        {"2024-02-29T23:59:59Z", plistDate(2024, 2, 29, 23, 59, 59)},
        {"2023-02-29", std::nullopt},
        {"2005-13-01", std::nullopt},
        {"01/02/2005", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        root.Remove("t");
        root.SetString("t", c.text);  // any scalar type with the right text reads as a date
        EXPECT_EQ(root.GetDate("t"), c.expected);
        EXPECT_EQ(doc.error, !c.expected.has_value());
    }
}

TEST_F(PlistDictTest, NewDateHoldsTheCurrentLocalTime) {
    const std::time_t before = std::time(nullptr);
    const plistDate now;
    const std::time_t after = std::time(nullptr);
    auto fields = [](std::time_t t) {
        std::tm tm{};
        localtime_r(&t, &tm);
        return plistDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    };
    EXPECT_TRUE(now == fields(before) || now == fields(after));
}

TEST_F(PlistDictTest, MakeTwo) {
    EXPECT_EQ(plistDict::MakeTwo(7), "07");
    EXPECT_EQ(plistDict::MakeTwo(10), "10");
    EXPECT_EQ(plistDict::MakeTwo(0), "00");
    EXPECT_EQ(plistDict::MakeTwo(59), "59");
}

TEST_F(PlistDictTest, DuplicateChildrenAreKeptAndTheFirstIsFound) {
    root.AddChild("prefs");
    root.child("prefs")->SetString("which", "first");
    root.AddChild("PREFS");
    EXPECT_FALSE(doc.error);
    ASSERT_EQ(root.children.size(), 3u);
    EXPECT_EQ(root.childrenNames[1], "prefs");
    EXPECT_EQ(root.childrenNames[2], "PREFS");
    EXPECT_EQ(root.count(), 1);
    EXPECT_EQ(root.child("Prefs"), root.children[1].get());
    EXPECT_EQ(root.child("prefs")->GetString("which"), "first");
    EXPECT_EQ(root.child("prefs")->parent, &root);
    EXPECT_EQ(root.child("prefs")->rootClass, &doc);
    EXPECT_EQ(root.child("missing"), nullptr);
    // Removing by key takes the last child of that name.
    root.Remove("prefs");
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.child("prefs")->GetString("which"), "first");
}

TEST_F(PlistDictTest, IterationInInsertionOrder) {
    EXPECT_EQ(root.CurrentKey(), "");
    EXPECT_TRUE(root.eof);

    root.SetString("zeta", "1");
    root.AddChild("alpha");
    root.SetInteger("mid", 2);
    std::vector<std::string> seen;
    for (root.MoveFirst(); !root.eof; root.MoveNext()) seen.push_back(root.CurrentKey());
    EXPECT_EQ(seen, (std::vector<std::string>{"zeta", "alpha", "mid"}));
    EXPECT_EQ(root.currentIndex, 0);

    root.MoveFirst();
    root.MoveLast();
    EXPECT_EQ(root.CurrentKey(), "mid");
    EXPECT_FALSE(root.eof);
    root.MoveNext();
    EXPECT_TRUE(root.eof);
    EXPECT_EQ(root.currentIndex, 0);

    root.currentIndex = 7;
    root.eof = false;
    EXPECT_EQ(root.CurrentKey(), "");
    EXPECT_TRUE(root.eof);
    EXPECT_EQ(root.currentIndex, 0);

    plistDict empty;
    empty.MoveLast();
    EXPECT_EQ(empty.CurrentKey(), "");
    EXPECT_TRUE(empty.eof);
}

TEST_F(PlistDictTest, AppendNumbersElements) {
    plistDict& a = NewArray("list");
    EXPECT_TRUE(a.isArray);
    EXPECT_EQ(a.name, "list");
    a.AppendString("a");
    a.AppendInteger(5);
    a.AppendBoolean(true);
    EXPECT_EQ(Keys(a), (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(a.GetType("0"), "string");
    EXPECT_EQ(a.GetType("1"), "integer");
    EXPECT_EQ(a.GetType("2"), "boolean");
    EXPECT_EQ(a.count(), 3);
    EXPECT_EQ(a.indexOf, 2);

    a.AppendDate(plistDate(2006, 2, 2, 14, 5, 9));
    EXPECT_EQ(a.values.Value("3"), "2006-02-02T14:05:09Z");
    EXPECT_EQ(a.GetType("3"), "date");
    a.AppendDouble(0.25);
    a.AppendData("aGVsbG8=");
    EXPECT_EQ(a.GetDouble("4"), 0.25);
    EXPECT_EQ(a.GetData("5"), "aGVsbG8=");

    a.AppendArray();
    plistDict* inner = a.index(a.count() - 1);
    ASSERT_NE(inner, nullptr);
    EXPECT_TRUE(inner->isArray);
    inner->AppendString("deep");
    EXPECT_FALSE(doc.error);
    EXPECT_EQ(inner->GetString("0"), "deep");

    a.AppendDict();
    plistDict* d = a.index(a.count() - 1);
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->isArray);
    EXPECT_EQ(d->name, "7");
    EXPECT_EQ(d->parent, &a);
    EXPECT_EQ(a.indexOf, 7);
}

TEST_F(PlistDictTest, AddArrayWorksOnArraysUnderAnyName) {
    plistDict& a = NewArray("list");
    EXPECT_TRUE(a.AddArray("named"));
    EXPECT_TRUE(a.child("named")->isArray);
    doc.error = true;
    EXPECT_TRUE(root.AddArray("other"));
    EXPECT_FALSE(doc.error);
}

// Elements given as text; "{D}" stands for a child dictionary whose "tag" holds the letter after it.
struct RemoveCase {
    const char* what;
    std::vector<std::string> elements;
    std::int32_t index;
    std::vector<std::string> after;
};

TEST_F(PlistDictTest, RemoveRenumbersTheLaterElements) {
    const RemoveCase cases[] = {
        {"first of three", {"a", "b", "c"}, 0, {"b", "c"}},
        {"middle child", {"a", "{D}x", "c", "d"}, 1, {"a", "c", "d"}},
        {"scalar before a child", {"x", "{D}y"}, 0, {"{D}y"}},
        {"last", {"a", "b", "{D}z"}, 2, {"a", "b"}},
        {"between children", {"{D}p", "q", "{D}r", "{D}s"}, 1, {"{D}p", "{D}r", "{D}s"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        plist fresh("/nonexistent-brindlex-dir/x.plist");
        fresh.root->AddArray("a");
        plistDict& a = *fresh.root->child("a");
        for (const auto& e : c.elements) {
            if (e.rfind("{D}", 0) == 0) {
                a.AppendDict();
                a.index(a.count() - 1)->SetString("tag", e.substr(3));
            } else {
                a.AppendString(e);
            }
        }
        a.Remove(c.index);
        EXPECT_FALSE(fresh.error);
        ASSERT_EQ(a.count(), static_cast<std::int32_t>(c.after.size()));
        std::size_t childCount = 0;
        for (std::size_t i = 0; i < c.after.size(); ++i) {
            const std::string key = std::to_string(i);
            EXPECT_EQ(a.types.Key(static_cast<std::int32_t>(i)), key);  // enumeration stays in index order
            if (c.after[i].rfind("{D}", 0) == 0) {
                ++childCount;
                plistDict* d = a.index(static_cast<std::int32_t>(i));
                ASSERT_NE(d, nullptr) << key;
                EXPECT_EQ(d->name, key);
                EXPECT_EQ(d->GetString("tag"), c.after[i].substr(3));
                EXPECT_EQ(a.GetType(key), "dict");
            } else {
                EXPECT_EQ(a.GetString(key), c.after[i]);
            }
        }
        EXPECT_EQ(a.children.size(), childCount + 1);
        EXPECT_EQ(a.index(static_cast<std::int32_t>(c.after.size())), nullptr);
    }
}

TEST_F(PlistDictTest, RemoveByTextThatReadsAsANumber) {
    plistDict& a = NewArray("list");
    a.AppendString("a");
    a.AppendString("b");
    a.Remove("0");
    EXPECT_EQ(a.count(), 1);
    EXPECT_EQ(a.GetString("0"), "b");
    a.Remove(std::string("5"));
    EXPECT_EQ(doc.errorMessage, "Subscript out of range");
}

TEST_F(PlistDictTest, RemoveByKey) {
    root.AddChild("prefs");
    root.SetString("s", "x");
    root.AddChild("other");
    root.Remove("prefs");
    EXPECT_EQ(root.child("prefs"), nullptr);
    EXPECT_FALSE(root.types.HasKey("prefs"));
    EXPECT_NE(root.child("other"), nullptr);

    // Words that a number parser might take are keys.
    root.SetString("nan", "x");
    root.SetString("inf", "y");
    root.Remove("nan");
    root.Remove("inf");
    EXPECT_FALSE(root.types.HasKey("nan"));
    EXPECT_FALSE(root.types.HasKey("inf"));

    // A scalar key takes no child with it, even when the node has children.
    root.Remove("s");
    EXPECT_EQ(root.children.size(), 2u);
    EXPECT_EQ(Keys(root), (std::vector<std::string>{"other"}));

    // The key form leaves the error state alone and does not renumber.
    doc.error = true;
    doc.errorMessage = "earlier";
    root.Remove("never-there");
    EXPECT_EQ(doc.errorMessage, "earlier");
    plistDict& a = NewArray("list");
    a.AppendString("a");
    a.AppendString("b");
    a.AddArray("named");
    a.Remove("named");
    EXPECT_EQ(Keys(a), (std::vector<std::string>{"0", "1"}));
}

TEST_F(PlistDictTest, NodeWithoutDocumentReportsNothingAndDoesNotCrash) {
    plistDict loose;
    loose.SetString("a", "1");
    loose.SetInteger("a", 2);
    EXPECT_EQ(loose.GetString("a"), "1");
    EXPECT_EQ(loose.GetString("b"), "");
    loose.AppendString("x");
    EXPECT_EQ(loose.count(), 1);
}

TEST_F(PlistDictTest, ManyChildrenStayReachable) {
    plistDict& a = NewArray("list");
    for (int i = 0; i < 3000; ++i) {
        a.AppendDict();
        a.index(i)->SetInteger("n", i);
    }
    a.Remove(0);
    for (int i = 0; i < 2999; ++i) ASSERT_EQ(a.index(i)->GetInteger("n"), i + 1);
    // Children added straight to the public lists are seen by later lookups.
    a.children.push_back(std::make_unique<plistDict>());
    a.childrenNames.push_back("extra");
    EXPECT_EQ(a.child("extra"), a.children.back().get());
}

}  // namespace
