// The store's half of the interoperability test with Python's plistlib. tests/scripts/plist_interop.sh
// runs these with BRINDLEX_INTEROP_DIR set, between the two halves of tests/plist/plist_interop.py;
// without it they skip.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "plist_testfiles.h"

namespace {

std::filesystem::path InteropDir() {
    const char* dir = std::getenv("BRINDLEX_INTEROP_DIR");
    return dir ? std::filesystem::path(dir) : std::filesystem::path();
}

TEST(PlistInterop, StoreWritesForPython) {
    if (InteropDir().empty()) GTEST_SKIP() << "run by tests/scripts/plist_interop.sh";
    plist doc(InteropDir() / "store.plist");
    plisttest::BuildSharedDocument(*doc.root);
    doc.error = false;
    doc.Save();
    ASSERT_FALSE(doc.error) << doc.errorMessage;
}

TEST(PlistInterop, StoreReadsPython) {
    if (InteropDir().empty()) GTEST_SKIP() << "run by tests/scripts/plist_interop.sh";
    plist doc(InteropDir() / "python.plist");
    ASSERT_FALSE(doc.error) << doc.errorMessage;
    plist expected(InteropDir() / "unused.plist");
    plisttest::BuildSharedDocument(*expected.root);
    // Python also wrote a real, which travels only this way.
    const std::string tree = plisttest::Dump(*expected.root);
    EXPECT_EQ(plisttest::Dump(*doc.root), tree.substr(0, tree.size() - 1) + "ratio:real=2.5;}");
    EXPECT_EQ(doc.root->GetDouble("ratio"), 2.5);
    EXPECT_FALSE(doc.error) << doc.errorMessage;
}

}  // namespace
