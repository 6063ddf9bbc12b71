// The document: loading, header lines, the reader's line forms, the writer's output, safe saves, and the
// exchange with Python's plistlib.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "plist_testfiles.h"

namespace {

namespace fs = std::filesystem;
using plisttest::Dump;

const std::string kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n<dict>\n";
const std::string kFooter = "</dict>\n</plist>\n";
const std::string kOld = kHeader + "\t<key>old</key>\n\t<string>kept</string>\n" + kFooter;
const std::string kOldBody = kOld.substr(0, kOld.size() - kFooter.size());
// The store's file for DOCUMENT in tests/plist/plist_interop.py.
const std::string kSharedBody = kHeader +
    "\t<key>Tom &amp; Jerry &lt;1&gt;</key>\n\t<string>a &amp; b &lt; c &gt; d</string>\n"
    "\t<key>entities</key>\n\t<string>&amp;amp; &amp;#38; &amp;lt;</string>\n"
    "\t<key>Gr\u00f6\u00dfe</key>\n\t<string>Z\u00fcrich \u2013 \u6771\u4eac \u2713 \U0001F600</string>\n"
    "\t<key>multi</key>\n\t<string>line one\nline two\n\tindented</string>\n\t<key>empty</key>\n\t<string></string>\n"
    "\t<key>min</key>\n\t<integer>-2147483648</integer>\n\t<key>max</key>\n\t<integer>2147483647</integer>\n"
    "\t<key>on</key>\n\t<true/>\n\t<key>off</key>\n\t<false/>\n\t<key>when</key>\n\t<date>2004-03-05T09:07:03Z</date>\n"
    "\t<key>blob</key>\n\t<data>\n\tAAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1\n\t</data>\n"
    "\t<key>nested</key>\n\t<dict>\n\t\t<key>inner</key>\n\t\t<dict>\n\t\t\t<key>deep</key>\n"
    "\t\t\t<string>yes &amp; no</string>\n\t\t</dict>\n\t\t<key>empty dict</key>\n\t\t<dict/>\n"
    "\t\t<key>empty array</key>\n\t\t<array/>\n\t</dict>\n\t<key>array</key>\n\t<array>\n"
    "\t\t<string>x</string>\n\t\t<integer>5</integer>\n\t\t<false/>\n\t\t<array>\n\t\t\t<string>nested</string>\n"
    "\t\t\t<integer>2</integer>\n\t\t</array>\n\t\t<dict>\n\t\t\t<key>name</key>\n\t\t\t<string>d</string>\n"
    "\t\t</dict>\n\t\t<array/>\n\t\t<dict/>\n\t</array>\n";
const std::string kShared = kSharedBody + kFooter;

std::string ReadFile(const fs::path& p) {  // empty for a folder or a missing file
    std::ostringstream out;
    out << std::ifstream(p, std::ios::binary).rdbuf();
    return out.str();
}

class PlistTest : public ::testing::Test {
protected:
    // One folder a process: ctest runs each test in a process of its own, the binary one test at a time.
    fs::path dir = fs::temp_directory_path() / ("brindlex-plist-" + std::to_string(getpid()));
    PlistTest() { fs::create_directories(dir); }
    ~PlistTest() override { fs::remove_all(dir); }

    std::unique_ptr<plist> LoadText(const std::string& content) {
        std::ofstream(dir / "p.plist", std::ios::binary) << content;
        return std::make_unique<plist>(dir / "p.plist");
    }
    std::string SaveText(plist& doc) {
        doc.Save();
        return ReadFile(doc.savePath);
    }
};

TEST_F(PlistTest, MissingOrUnreadableFileStartsANewDocumentAndFallbackIsReadInstead) {
    plist doc(dir / "Brindle.plist", dir / "defaults.plist");  // the message names the file read
    EXPECT_EQ(doc.errorMessage, (dir / "defaults.plist").string() + " does not exist");
    EXPECT_FALSE(fs::exists(dir / "Brindle.plist"));
    EXPECT_EQ(SaveText(doc), kHeader + kFooter);  // the four default header lines
    EXPECT_TRUE(doc.error);                       // a successful save does not clear the earlier error
    plist relative("brindlex-surely-missing.plist");
    EXPECT_EQ(relative.errorMessage, (fs::current_path() / "brindlex-surely-missing.plist").string() + " does not exist");
    fs::create_directory(dir / "folder.plist");
    plist folder(dir / "folder.plist");
    EXPECT_EQ(folder.errorMessage, (dir / "folder.plist").string() + " could not be read");
    EXPECT_EQ(folder.headers, doc.headers);

    std::ofstream(dir / "defaults.plist") << kOld;
    plist mine(dir / "mine.plist", dir / "defaults.plist");
    mine.root->SetInteger("x", 7);
    EXPECT_EQ(SaveText(mine), kOldBody + "\t<key>x</key>\n\t<integer>7</integer>\n" + kFooter);
    EXPECT_EQ(ReadFile(dir / "defaults.plist"), kOld);
    EXPECT_EQ(plist(dir / "mine.plist", dir / "defaults.plist").root->GetInteger("x"), 7);  // the file comes first
}

// A file as the store writes it saves line for line; keys and texts escape what a line cannot hold.
TEST_F(PlistTest, DocumentIsWrittenExactlyAndSavesAsItWasRead) {
    auto doc = LoadText(kShared);
    EXPECT_FALSE(doc->error) << doc->errorMessage;
    const auto openFiles = [] { return std::distance(fs::directory_iterator("/dev/fd"), {}); };
    const auto before = openFiles();
    EXPECT_EQ(SaveText(*doc), kShared);
    EXPECT_EQ(openFiles(), before) << "a save leaves no file open";
    plistDict& r = *doc->root;
    EXPECT_EQ(r.child("array")->index(4)->rootClass, doc.get());  // read children report their errors too
    r.SetDouble("ratio", 2.5);
    r.types.Set("odd", "boolean");
    r.values.Set("odd", "yes");  // any text but true is written as false
    r.SetString("key\nwith\r\nbreaks", "windows\r\nline");
    EXPECT_EQ(SaveText(*doc), kSharedBody + "\t<key>ratio</key>\n\t<double>2.5</double>\n\t<key>odd</key>\n\t<false/>\n"
        "\t<key>key&#10;with&#13;&#10;breaks</key>\n\t<string>windows&#13;\nline</string>\n" + kFooter);
}

// Each row: a file, the error it reads with, and the file saved after n is set. The lines before the root's
// "<dict>" stay as they are; a file without that line is kept whole before the root's entries.
TEST_F(PlistTest, HeaderLinesAreKeptExactly) {
    const std::string n = "\t<key>n</key>\n\t<integer>1</integer>\n" + kFooter;
    const std::string hand = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- written by hand -->\n\n  <!DOCTYPE plist "
                             "PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"x.dtd\">\t\n<plist version=\"1.0\">\n<DICT>\n";
    const std::string other = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
    const std::string wide(65535, 'x');  // the reader takes the file 64 KiB at a time
    const std::string cases[][3] = {
        {hand + "\t<key>a</key>\n\t<string>b</string>\n" + kFooter, "", hand + "\t<key>a</key>\n\t<string>b</string>\n" + n},
        {other + "<dict/>\n</plist>\n", "", other + "<dict>\n" + n},  // another writer's empty root
        {"<plist>\n\t<dict>\n</dict>\n", "Not a plist file", "<plist>\n\t<dict>\n</dict>\n" + n},  // indented root
        // CR, LF and CR LF all end a line, also where one read of the file ends between CR and LF.
        {"h1\r\nh2\rh3\n\rh4\n<dict>\r\n<key>k</key>\r<string>v</string>", "",
         "h1\nh2\nh3\n\nh4\n<dict>\n\t<key>k</key>\n\t<string>v</string>\n" + n},
        {wide + "\r\n<dict>\n", "", wide + "\n<dict>\n" + n}};
    for (const auto& [content, message, saved] : cases) {
        auto doc = LoadText(content);
        EXPECT_EQ(doc->errorMessage, message);
        doc->root->SetInteger("n", 1);
        EXPECT_EQ(SaveText(*doc), saved);
    }
}

// Each row: a root body, and the tree it reads as. Each child keeps its own kind, a value that follows
// children under the same key replaces them, and names that are no element are not kept as types. That a
// save writes back what was read, the fuzz regressions check.
TEST_F(PlistTest, ReaderAcceptedLines) {
    const std::pair<std::string, std::string> cases[] = {
        // Space indentation is no key line; loose text, comments and stray closing tags carry nothing.
        {"  <key>a</key>\n\nnoise\n<!-- note -->\n</string>\n<string>x</string>\n", "{:string=x;}"},
        {"<key>a\n<string>x</string>\n<TRUE/>\n<key>f</key>\n<false/>\n", "{a:boolean=true;f:boolean=false;}"},
        {"<key>l</key>\n<array>\n<string>x\n<key>zz</key>\ny</string>\n<true/>\n</array>\n",
         "{l:array[0:string=x\ny;1:boolean=true;];}"},
        {"<key>s</key>\n<string/>\n<key>b</key>\n<data>\n\tAAAA\n\tCC==\n</data>\n", "{s:string=;b:data=AAAACC==;}"},
        {"<key>c</key>\n<dict>\n<key>s</key>\n<string>old</string>\n<string>open\n</dict>\n<key>n</key>\n"
         "<integer>1</integer>\n", "{c:dict{s:string(no text);};n:integer=1;}"},
        {"<key>b</key>\n<dict/>\n<key>a</key>\n<string>old</string>\n<string>x\n<key>b</key>\ny</string>\n",
         "{b:string=x\ny;a:string(no text);}"},
        // As other writers spread texts: the closing tag on a line of its own after the last fragment.
        {"<key>b</key>\n<string>\nabc\n</string>\n", "{b:string=\nabc\n;}"},
        {"<key>c</key>\n<dict/>\n<array>\n<integer>1</integer>\n</array>\n<key>odd</key>\n<array//>\n",
         "{c:array{}[0:integer=1;];}"},
        {"<key>a</key>\n<dict/>\n<key>b</key>\n<dict/>\n<array/>\n<key>a</key>\n<true/>\n<key>c</key>\n<dict/>\n"
         "<key>b</key>\n<string>x</string>\n<key>d</key>\n<dict/>\n<key>c</key>\n<integer>1</integer>\n<key>c</key>\n"
         "<array/>\n", "{a:boolean=true;b:string=x;c:array[];d:dict{};}"},
        {"<key>a</key>\n<string>1</string>\n<key/>\n<string>2</string>\n", "{a:string=1;:string=2;}"},   // an empty key
        {"<key>k&amp;</key>\n<string>&amp;&lt;&gt;&quot;&apos; &#233; &#x1F600; &#x10FFFF; &#X41;</string>\n",
         "{k&:string=&<>\"' \xC3\xA9 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF A;}"},
        // Written raw in the past, or no reference: the ampersand stands for itself.
        {"<key>k</key>\n<string>R&D &nbsp; &amp &#; &#xZZ; &#xD800; &#0; &#1114112; &amp;amp;</string>\n",
         "{k:string=R&D &nbsp; &amp &#; &#xZZ; &#xD800; &#0; &#1114112; &amp;;}"},
        // A file that ends inside nodes: the footer closes e, and c and the root stay open.
        {"<key>c</key>\n<dict>\n<key>b</key>\n<dict/>\n<true/>\n<key>e</key>\n<dict>\n", "{c:dict{b:boolean=true;e:dict{};};}"},
    };
    for (const auto& [body, tree] : cases) {
        auto doc = LoadText(kHeader + body + kFooter);
        EXPECT_FALSE(doc->error) << doc->errorMessage;
        EXPECT_EQ(Dump(*doc->root), tree);
        EXPECT_TRUE(doc->root->AddArray("new") && doc->root->child("new")) << "a child added after the read is found";
    }
    auto doc = LoadText(kHeader + "<key>a</key>\n<dict/>\n" + kFooter);
    ASSERT_TRUE(doc->root->child("a"));   // looked up, then the root read again as an empty dictionary
    doc->root->Load(nullptr, "root", false, nullptr, doc.get(), false);
    EXPECT_TRUE(doc->root->AddArray("b") && doc->root->child("b") && !doc->root->child("a"));
}

// Saves p.plist with a larger text in a child process limited to files of limit bytes, as an unprivileged
// user if asked. Returns 0 when it saved, 1 for "Could not write file", 2 for "Could not open file for saving".
int SaveInChild(const fs::path& file, rlim_t limit, bool unprivileged) {
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of ending the process
        const rlimit r{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &r) != 0 || (unprivileged && (setgid(65534) != 0 || setuid(65534) != 0))) _exit(9);
        plist doc(file);
        doc.root->SetString("big", std::string(5000, 'x'));  // clears the load's error, if any
        doc.Save();
        const std::string& m = doc.errorMessage;
        _exit(!doc.error ? 0 : m == "Could not write file" ? 1 : m == "Could not open file for saving" ? 2 : 9);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Each row: symbolic links to make, the file a save through p.plist replaces and its mode (0: not there yet),
// the folder's mode, whose the file is (0: ours; 1: another user's, who saves it, as root may write
// anything; 2: another user's, root saves it), a file size limit, and what SaveInChild returns. A save keeps the file's
// mode, owner and links; a failed one leaves the old file byte for byte; neither leaves anything beside it.
TEST_F(PlistTest, SaveReplacesTheFileWholeOrNotAtAll) {
    struct Case { std::vector<std::pair<std::string, std::string>> links; std::string file; int fileMode, folderMode;
                  int other; rlim_t limit; int result; };
    const rlim_t none = RLIM_INFINITY;
    std::vector<std::pair<std::string, std::string>> chain{{"p.plist", "l1"}};   // as long as the system follows
    for (int i = 1; i < 39; ++i) chain.push_back({"l" + std::to_string(i), "l" + std::to_string(i + 1)});
    const Case cases[] = {
        {{}, "p.plist", 0640, 0755, 0, none, 0}, {{}, "p.plist", 0600, 0755, 2, none, 0},
        {{{"p.plist", "sub/link"}, {"sub/link", "../real.plist"}}, "real.plist", 0640, 0755, 0, none, 0},
        {{{"p.plist", (dir / "sub/new.plist").string()}}, "sub/new.plist", 0, 0755, 0, none, 0},
        {chain, "l39", 0600, 0755, 0, none, 0},
        {{}, "p.plist", 0644, 0755, 0, 1000, 1},  // as on a full disk
        {{}, "p.plist", 0666, 0555, 1, none, 2},  // a read-only folder
        {{}, "p.plist", 0444, 0777, 1, none, 2},  // a read-only file
        {{{"p.plist", "sub"}}, "sub", 0, 0755, 0, none, 2}, {{{"p.plist", "p.plist"}}, "p.plist", 0, 0755, 0, none, 2}};
    const bool root = geteuid() == 0;
    const mode_t mask = umask(0);
    umask(mask);
    for (const auto& c : cases) {
        fs::remove_all(dir);
        fs::create_directories(dir / "sub");
        std::set<std::string> names = {"sub"};
        for (const auto& [link, to] : c.links) {
            fs::create_symlink(to, dir / link);
            names.insert(link);
        }
        if (c.fileMode) {
            std::ofstream(dir / c.file) << kOld;
            fs::permissions(dir / c.file, fs::perms(c.fileMode));
            ASSERT_TRUE(!(root && c.other) || chown((dir / c.file).c_str(), 65534, 65534) == 0);
        }
        fs::permissions(dir, fs::perms(c.folderMode));
        EXPECT_EQ(SaveInChild(dir / "p.plist", c.limit, root && c.other == 1), c.result) << c.file;
        fs::permissions(dir, fs::perms(0700));

        const bool saved = c.result == 0;
        const std::string big = "\t<key>big</key>\n\t<string>" + std::string(5000, 'x') + "</string>\n" + kFooter;
        EXPECT_EQ(ReadFile(dir / c.file), !saved ? (c.fileMode ? kOld : "") : (c.fileMode ? kOldBody : kHeader) + big);
        if (saved || c.fileMode) {
            names.insert(c.file);
            EXPECT_EQ(fs::status(dir / c.file).permissions(), fs::perms(c.fileMode ? c.fileMode : 0666 & ~mask));
            struct stat st {};
            EXPECT_EQ(stat((dir / c.file).c_str(), &st) == 0 ? st.st_uid : 1, root && c.other ? 65534 : geteuid());
        }
        for (const auto& [link, to] : c.links) EXPECT_TRUE(fs::is_symlink(dir / link)) << link;
        std::set<std::string> listed;  // links not followed
        for (const fs::path& in : {dir, dir / "sub"})
            for (const auto& e : fs::directory_iterator(in)) listed.insert(e.path().lexically_relative(dir).string());
        EXPECT_EQ(listed, names) << c.file;
    }
}

// Nested deeper than 512 levels (the root counted) a file is no property list the program accepts: read as one
// that is none (every line a header line, nothing loaded), so a save writes it back as it was, however deep.
TEST_F(PlistTest, NestingDeeperThanTheLimitIsNoPropertyList) {
    for (const int depth : {511, 512, 200000}) {   // levels below the root
        SCOPED_TRACE(depth);
        std::string open, close;
        for (int i = 0; i < depth; ++i) open += "<key>k</key>\n<dict>\n";
        for (int i = 0; i < depth; ++i) close += "</dict>\n";
        const std::string text = kHeader + open + "<key>leaf</key>\n<integer>1</integer>\n" + close + kFooter;
        auto doc = LoadText(text);
        plistDict* node = doc->root.get();
        for (int i = 0; i < depth && node; ++i) node = node->child("k");
        if (depth == 511) {
            EXPECT_FALSE(doc->error);
            EXPECT_EQ(node ? node->GetInteger("leaf") : 0, 1);
            continue;
        }
        EXPECT_EQ(doc->errorMessage, "Not a plist file");
        EXPECT_FALSE(doc->root->types.HasKey("k")) << "the keys read before the failure forgotten";
        // Every line a header line and nothing in the root: the save writes the text back, then a footer.
        EXPECT_EQ(SaveText(*doc), text + "</dict>\n</plist>\n") << "saved in proportion to what was read";
    }
}

// The store's half of the exchange with plistlib: tests/plist/plist_interop.py runs it with BRINDLEX_INTEROP_DIR
// set, between writing its file and reading the store's; without it, it skips.
TEST(PlistInterop, BothWays) {
    const char* folder = std::getenv("BRINDLEX_INTEROP_DIR");
    if (!folder) GTEST_SKIP() << "run by tests/plist/plist_interop.py";
    std::ofstream(fs::path(folder) / "store.plist", std::ios::binary) << kShared;
    plist mine(fs::path(folder) / "store.plist");
    mine.Save();  // over the file it read, as the preferences are saved
    plist doc(fs::path(folder) / "python.plist");
    ASSERT_FALSE(mine.error || doc.error) << mine.errorMessage << doc.errorMessage;
    // Python also wrote a real, which travels only this way.
    const std::string tree = Dump(*mine.root);
    EXPECT_EQ(Dump(*doc.root), tree.substr(0, tree.size() - 1) + "ratio:real=2.5;}");
}

}  // namespace
