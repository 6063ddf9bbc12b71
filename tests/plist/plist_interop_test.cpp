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

// The store writes the shared document for Python, and reads the one Python wrote.
TEST(PlistInterop, BothWays) {
    if (InteropDir().empty()) GTEST_SKIP() << "run by tests/scripts/plist_interop.sh";
    plist mine(InteropDir() / "store.plist");
    plisttest::BuildSharedDocument(*mine.root);
    mine.Save();
    ASSERT_FALSE(mine.error) << mine.errorMessage;

    plist doc(InteropDir() / "python.plist");
    ASSERT_FALSE(doc.error) << doc.errorMessage;
    // Python also wrote a real, which travels only this way.
    const std::string tree = plisttest::Dump(*mine.root);
    EXPECT_EQ(plisttest::Dump(*doc.root), tree.substr(0, tree.size() - 1) + "ratio:real=2.5;}");
    EXPECT_EQ(doc.root->GetDouble("ratio"), 2.5);
    EXPECT_FALSE(doc.error) << doc.errorMessage;
}

}  // namespace
