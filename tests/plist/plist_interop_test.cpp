// The store's half of the interoperability test with Python's plistlib. tests/scripts/plist_interop.sh
// runs these with BRINDLEX_INTEROP_DIR set, between the two halves of tests/plist/plist_interop.py;
// without it they skip. The values mirror DOCUMENT in plist_interop.py.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "plist/plist.h"

namespace {

const char* const kBlobBase64 =
    "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+P0BBQkNERUZHSElKS0xN"
    "Tk9QUVJTVFVWV1hZWltcXV5fYGFiYw==";

std::filesystem::path InteropDir() {
    const char* dir = std::getenv("BRINDLEX_INTEROP_DIR");
    return dir ? std::filesystem::path(dir) : std::filesystem::path();
}

TEST(PlistInterop, StoreWritesForPython) {
    const auto dir = InteropDir();
    if (dir.empty()) GTEST_SKIP() << "run by tests/scripts/plist_interop.sh";
    plist doc(dir / "store.plist");
    plistDict& r = *doc.root;
    r.SetString("Tom & Jerry <1>", "a & b < c > d");
    r.SetString("path", "/Users/me/R&D/Syndication/Database3");
    r.SetString("unicode", "Z\u00fcrich \u2013 \u6771\u4eac \u2713 \U0001F600");
    r.SetString("Gr\u00f6\u00dfe", "\u00df");
    r.SetString("multi", "line one\nline two\n\tindented");
    r.SetString("empty", "");
    r.SetInteger("count", 30);
    r.SetInteger("min", -2147483648.0);
    r.SetInteger("max", 2147483647);
    r.SetBoolean("on", true);
    r.SetBoolean("off", false);
    r.SetDate("when", plistDate(2004, 3, 5, 9, 7, 3));
    r.SetData("blob", kBlobBase64);

    r.AddChild("nested");
    plistDict& nested = *r.child("nested");
    nested.AddChild("inner");
    nested.child("inner")->SetString("deep", "yes & no");
    nested.AddArray("list");
    plistDict& list = *nested.child("list");
    list.AppendString("a");
    list.AppendInteger(1);
    list.AppendBoolean(true);
    list.AppendDict();
    list.index(3)->SetString("k", "v");
    list.AppendArray();
    list.AppendDict();
    nested.AddChild("empty dict");
    nested.AddArray("empty array");

    r.AddArray("array");
    plistDict& array = *r.child("array");
    array.AppendString("x");
    array.AppendInteger(5);
    array.AppendBoolean(false);
    array.AppendArray();
    array.index(3)->AppendString("nested");
    array.index(3)->AppendInteger(2);
    array.AppendDict();
    array.index(4)->SetString("name", "d");

    doc.error = false;
    doc.Save();
    ASSERT_FALSE(doc.error) << doc.errorMessage;
}

TEST(PlistInterop, StoreReadsPython) {
    const auto dir = InteropDir();
    if (dir.empty()) GTEST_SKIP() << "run by tests/scripts/plist_interop.sh";
    plist doc(dir / "python.plist");
    ASSERT_FALSE(doc.error) << doc.errorMessage;
    plistDict& r = *doc.root;
    EXPECT_EQ(r.count(), 16);
    EXPECT_EQ(r.GetString("Tom & Jerry <1>"), "a & b < c > d");
    EXPECT_EQ(r.GetString("path"), "/Users/me/R&D/Syndication/Database3");
    EXPECT_EQ(r.GetString("unicode"), "Z\u00fcrich \u2013 \u6771\u4eac \u2713 \U0001F600");
    EXPECT_EQ(r.GetString("Gr\u00f6\u00dfe"), "\u00df");
    EXPECT_EQ(r.GetString("multi"), "line one\nline two\n\tindented");
    EXPECT_EQ(r.GetString("empty"), "");
    EXPECT_EQ(r.GetType("empty"), "string");
    EXPECT_EQ(r.GetInteger("count"), 30);
    EXPECT_EQ(r.GetInteger("min"), -2147483647 - 1);
    EXPECT_EQ(r.GetInteger("max"), 2147483647);
    EXPECT_TRUE(r.GetBoolean("on"));
    EXPECT_FALSE(r.GetBoolean("off"));
    EXPECT_EQ(r.GetDate("when"), plistDate(2004, 3, 5, 9, 7, 3));
    EXPECT_EQ(r.GetData("blob"), kBlobBase64);
    EXPECT_EQ(r.GetType("ratio"), "real");
    EXPECT_EQ(r.GetDouble("ratio"), 2.5);
    EXPECT_FALSE(doc.error) << doc.errorMessage;

    plistDict* nested = r.child("nested");
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(nested->count(), 4);
    ASSERT_NE(nested->child("inner"), nullptr);
    EXPECT_EQ(nested->child("inner")->GetString("deep"), "yes & no");
    plistDict* list = nested->child("list");
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isArray);
    EXPECT_EQ(list->count(), 6);
    EXPECT_EQ(list->GetString("0"), "a");
    EXPECT_EQ(list->GetInteger("1"), 1);
    EXPECT_TRUE(list->GetBoolean("2"));
    ASSERT_NE(list->index(3), nullptr);
    EXPECT_EQ(list->index(3)->GetString("k"), "v");
    ASSERT_NE(list->index(4), nullptr);
    EXPECT_TRUE(list->index(4)->isArray);
    EXPECT_EQ(list->index(4)->count(), 0);
    ASSERT_NE(list->index(5), nullptr);
    EXPECT_FALSE(list->index(5)->isArray);
    EXPECT_EQ(list->index(5)->count(), 0);
    ASSERT_NE(nested->child("empty dict"), nullptr);
    EXPECT_EQ(nested->child("empty dict")->count(), 0);
    ASSERT_NE(nested->child("empty array"), nullptr);
    EXPECT_TRUE(nested->child("empty array")->isArray);

    plistDict* array = r.child("array");
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->count(), 5);
    EXPECT_EQ(array->GetString("0"), "x");
    EXPECT_EQ(array->GetInteger("1"), 5);
    EXPECT_FALSE(array->GetBoolean("2"));
    ASSERT_NE(array->index(3), nullptr);
    EXPECT_EQ(array->index(3)->GetString("0"), "nested");
    EXPECT_EQ(array->index(3)->GetInteger("1"), 2);
    ASSERT_NE(array->index(4), nullptr);
    EXPECT_EQ(array->index(4)->GetString("name"), "d");
}

}  // namespace
