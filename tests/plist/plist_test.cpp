// The document: loading, saving, header lines, the file format, and text that needs care.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
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

std::string ReadFile(const fs::path& p) {
    std::error_code ec;
    std::ifstream in(fs::is_regular_file(p, ec) ? p : fs::path(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PlistTest : public ::testing::Test {
protected:
    fs::path dir = [] {
        std::string pattern = (fs::temp_directory_path() / "brindlex-plist-XXXXXX").string();
        EXPECT_NE(mkdtemp(pattern.data()), nullptr);
        return fs::path(pattern);
    }();
    ~PlistTest() override { fs::remove_all(dir); }

    std::unique_ptr<plist> LoadText(const std::string& content) {
        std::ofstream(dir / "p.plist", std::ios::binary) << content;
        return std::make_unique<plist>(dir / "p.plist");
    }
    std::unique_ptr<plist> LoadBody(const std::string& body) { return LoadText(kHeader + body + kFooter); }
    std::string SaveText(plist& doc) {
        doc.Save();
        return ReadFile(doc.savePath);
    }
    // Every name in the folder and below it, links not followed.
    std::set<std::string> Listing(const fs::path& under = {}) {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir / under)) {
            names.insert((under / e.path().filename()).string());
            if (fs::is_directory(e.symlink_status())) names.merge(Listing(under / e.path().filename()));
        }
        return names;
    }
};

TEST_F(PlistTest, MissingOrUnreadableFileStartsANewDocumentAndFallbackIsReadInstead) {
    plist doc(dir / "Brindle.plist");
    EXPECT_EQ(doc.errorMessage, (dir / "Brindle.plist").string() + " does not exist");
    EXPECT_FALSE(fs::exists(dir / "Brindle.plist"));
    EXPECT_EQ(SaveText(doc), kHeader + kFooter);  // the four default header lines
    EXPECT_TRUE(doc.error);                       // a successful save does not clear the earlier error
    plist relative("brindlex-surely-missing.plist");
    EXPECT_EQ(relative.errorMessage, (fs::current_path() / "brindlex-surely-missing.plist").string() + " does not exist");
    fs::create_directory(dir / "folder.plist");
    plist folder(dir / "folder.plist");
    EXPECT_EQ(folder.errorMessage, (dir / "folder.plist").string() + " could not be read");
    EXPECT_EQ(folder.headers, doc.headers);

    fs::rename(dir / "Brindle.plist", dir / "defaults.plist");
    plist mine(dir / "mine.plist", dir / "defaults.plist");
    EXPECT_FALSE(mine.error);
    mine.root->SetInteger("x", 7);
    mine.Save();
    EXPECT_EQ(plist(dir / "mine.plist").root->GetInteger("x"), 7);
    EXPECT_EQ(ReadFile(dir / "defaults.plist"), kHeader + kFooter);
    plist neither(dir / "a.plist", dir / "b.plist");
    EXPECT_EQ(neither.errorMessage, (dir / "b.plist").string() + " does not exist");
}

TEST_F(PlistTest, DocumentIsWrittenExactlyAndReadsBackTheSame) {
    plist doc(dir / "w.plist");
    plistDict& r = *doc.root;
    plisttest::BuildSharedDocument(r);
    r.SetDouble("ratio", 2.5);
    r.types.Set("odd", "boolean");
    r.values.Set("odd", "yes");  // any text but true is written as false
    const std::string texts[] = {"two\nlines", "\nstarts with a break", "ends with a break\n", "a\n\n\nb", "\n", "",
        "\tindented\n\tsecond\n\t", "windows\r\nline\r\n", "old mac\rline", "like </string>\n<key>x</key>\n</dict>"};
    for (std::size_t i = 0; i < std::size(texts); ++i) r.SetString("t" + std::to_string(i), texts[i]);
    r.SetString("key\nwith\r\nbreaks", "k");
    const std::string saved = SaveText(doc);
    EXPECT_EQ(saved, kHeader +
        "\t<key>Tom &amp; Jerry &lt;1&gt;</key>\n\t<string>a &amp; b &lt; c &gt; d</string>\n"
        "\t<key>entities</key>\n\t<string>&amp;amp; &amp;#38; &amp;lt;</string>\n"
        "\t<key>Gr\u00f6\u00dfe</key>\n\t<string>Z\u00fcrich \u2013 \u6771\u4eac \u2713 \U0001F600</string>\n"
        "\t<key>multi</key>\n\t<string>line one\nline two\n\tindented</string>\n\t<key>empty</key>\n\t<string></string>\n"
        "\t<key>min</key>\n\t<integer>-2147483648</integer>\n\t<key>max</key>\n\t<integer>2147483647</integer>\n"
        "\t<key>on</key>\n\t<true/>\n\t<key>off</key>\n\t<false/>\n\t<key>when</key>\n\t<date>2004-03-05T09:07:03Z</date>\n"
        "\t<key>blob</key>\n\t<data>\n\t" + plisttest::kBlob + "\n\t</data>\n"
        "\t<key>nested</key>\n\t<dict>\n\t\t<key>inner</key>\n\t\t<dict>\n\t\t\t<key>deep</key>\n"
        "\t\t\t<string>yes &amp; no</string>\n\t\t</dict>\n"
        "\t\t<key>empty dict</key>\n\t\t<dict/>\n\t\t<key>empty array</key>\n\t\t<array/>\n\t</dict>\n"
        "\t<key>array</key>\n\t<array>\n\t\t<string>x</string>\n\t\t<integer>5</integer>\n\t\t<false/>\n"
        "\t\t<array>\n\t\t\t<string>nested</string>\n\t\t\t<integer>2</integer>\n\t\t</array>\n"
        "\t\t<dict>\n\t\t\t<key>name</key>\n\t\t\t<string>d</string>\n\t\t</dict>\n\t\t<array/>\n\t\t<dict/>\n\t</array>\n"
        "\t<key>ratio</key>\n\t<double>2.5</double>\n\t<key>odd</key>\n\t<false/>\n"
        "\t<key>t0</key>\n\t<string>two\nlines</string>\n\t<key>t1</key>\n\t<string>\nstarts with a break</string>\n"
        "\t<key>t2</key>\n\t<string>ends with a break\n</string>\n\t<key>t3</key>\n\t<string>a\n\n\nb</string>\n"
        "\t<key>t4</key>\n\t<string>\n</string>\n\t<key>t5</key>\n\t<string></string>\n"
        "\t<key>t6</key>\n\t<string>\tindented\n\tsecond\n\t</string>\n\t<key>t7</key>\n\t<string>windows&#13;\nline&#13;\n</string>\n"
        "\t<key>t8</key>\n\t<string>old mac&#13;line</string>\n\t<key>t9</key>\n"
        "\t<string>like &lt;/string&gt;\n&lt;key&gt;x&lt;/key&gt;\n&lt;/dict&gt;</string>\n"
        "\t<key>key&#10;with&#13;&#10;breaks</key>\n\t<string>k</string>\n" + kFooter);

    plist back(dir / "w.plist");
    EXPECT_FALSE(back.error) << back.errorMessage;
    r.values.Set("odd", "false");
    EXPECT_EQ(Dump(*back.root), Dump(r));
    EXPECT_EQ(back.root->child("array")->index(4)->rootClass, &back);  // read children report their errors too
    EXPECT_EQ(SaveText(back), saved);  // what was read saves line for line
}

// Each row: a file, the error it reads with, and the file saved after n is set. The lines before the root's
// "<dict>" stay as they are; a file without that line is kept whole before the root's entries.
TEST_F(PlistTest, HeaderLinesAreKeptExactly) {
    const std::string n = "\t<key>n</key>\n\t<integer>1</integer>\n" + kFooter;
    const std::string hand = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- written by hand -->\n\n  <!DOCTYPE plist "
                             "PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"x.dtd\">\t\n<plist version=\"1.0\">\n<DICT>\n";
    const std::string other = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
    const std::string cases[][3] = {
        {hand + "\t<key>a</key>\n\t<string>b</string>\n" + kFooter, "", hand + "\t<key>a</key>\n\t<string>b</string>\n" + n},
        {other + "<dict/>\n</plist>\n", "", other + "<dict>\n" + n},  // another writer's empty root
        {"hello\nworld\n", "Not a plist file", "hello\nworld\n" + n},
        {"", "Not a plist file", n},
        {"<plist>\n\t<dict>\n</dict>\n", "Not a plist file", "<plist>\n\t<dict>\n</dict>\n" + n},  // indented root
        {"<plist><dict>\n", "Not a plist file", "<plist><dict>\n" + n},
    };
    for (const auto& [content, message, saved] : cases) {
        auto doc = LoadText(content);
        EXPECT_EQ(doc->errorMessage, message);
        doc->root->SetInteger("n", 1);
        EXPECT_EQ(SaveText(*doc), saved);
    }
}

// Each row: a root body, and the tree it reads as. What a file says must be what a save writes back (the
// fuzz regressions check that): each child keeps its own kind, a value that follows children under the
// same key replaces them, and names that are no element are not kept as types.
TEST_F(PlistTest, ReaderAcceptedLines) {
    const std::pair<std::string, std::string> cases[] = {
        {"  <key>a</key>\n<string>x</string>\n", "{:string=x;}"},  // space indentation is no key line
        {"<key>a\n<integer>5</integer>\n", "{a:integer=5;}"},
        {"<key>a</key>\n<string>x</string>\n<integer>2</integer>\n", "{a:integer=2;}"},
        {"<key>t</key>\n<TRUE/>\n<key>f</key>\n<false/>\n", "{t:boolean=true;f:boolean=false;}"},
        {"<key>l</key>\n<array>\n<string>x</string>\n<key>zz</key>\n<integer>5</integer>\n<dict>\n<key>in</key>\n"
         "<string>y</string>\n</dict>\n<true/>\n</array>\n",
         "{l:array[0:string=x;1:integer=5;2:dict{in:string=y;};3:boolean=true;];}"},
        {"\n<key>a</key>\nnoise\n<!-- note -->\n</string>\n<string>x</string>\n", "{a:string=x;}"},
        {"<key>s</key>\n<string/>\n<key>t</key>\n<string>x</string>\n", "{s:string=;t:string=x;}"},
        {"<key>c</key>\n<dict>\n<key>s</key>\n<string>old</string>\n<string>open\n</dict>\n<key>n</key>\n"
         "<integer>1</integer>\n", "{c:dict{s:string(no text);};n:integer=1;}"},
        {"<key>b</key>\n<dict/>\n<key>a</key>\n<string>old</string>\n<string>x\n<key>b</key>\ny</string>\n",
         "{b:string=x\ny;a:string(no text);}"},
        {"<key>b</key>\n<data>\n\tAAAA\n\tBBBB\n\tCC==\n</data>\n", "{b:data=AAAABBBBCC==;}"},
        // As other writers spread texts: the first fragment after the tag, the closing tag after the last.
        {"<key>a</key>\n<string>two\nlines</string>\n<key>b</key>\n<string>\nabc\n</string>\n",
         "{a:string=two\nlines;b:string=\nabc\n;}"},
        {"<key>c</key>\n<dict/>\n<array>\n<integer>1</integer>\n</array>\n<key/>\n<string>empty key</string>\n"
         "<key>odd</key>\n<array//>\n", "{c:array{}[0:integer=1;];:string=empty key;}"},
        {"<key>a</key>\n<dict/>\n<key>b</key>\n<dict/>\n<array/>\n<key>a</key>\n<true/>\n<key>c</key>\n<dict/>\n"
         "<key>b</key>\n<string>x</string>\n<key>d</key>\n<dict/>\n<key>c</key>\n<integer>1</integer>\n<key>c</key>\n"
         "<array/>\n", "{a:boolean=true;b:string=x;c:array[];d:dict{};}"},
        {"<key>k&amp;</key>\n<string>&amp;&lt;&gt;&quot;&apos; &#233; &#x1F600; &#X41;</string>\n",
         "{k&:string=&<>\"' \xC3\xA9 \xF0\x9F\x98\x80 A;}"},
        // Written raw in the past, or no reference: the ampersand stands for itself.
        {"<key>k</key>\n<string>R&D &nbsp; &amp &#; &#xZZ; &#xD800; &#0; &#1114112; &amp;amp;</string>\n",
         "{k:string=R&D &nbsp; &amp &#; &#xZZ; &#xD800; &#0; &#1114112; &amp;;}"},
    };
    for (const auto& [body, tree] : cases) {
        auto doc = LoadBody(body);
        EXPECT_FALSE(doc->error) << doc->errorMessage;
        EXPECT_EQ(Dump(*doc->root), tree);
    }
    auto cut = LoadText(kHeader + "\t<key>a</key>\n\t<string>x</string>\n\t<key>c</key>\n\t<dict>\n\t\t<key>b</key>\n"
                                  "\t\t<dict/>\n\t\t<true/>\n");
    EXPECT_EQ(Dump(*cut->root), "{a:string=x;c:dict{b:boolean=true;};}");

}

// Saves p.plist with a larger text in a child process limited to files of limit bytes, as an unprivileged
// user if asked; returns the save's error message.
std::string SaveInChild(const fs::path& file, rlim_t limit, bool unprivileged) {
    const char* const messages[] = {"saved", "Could not write file", "Could not open file for saving", "?"};
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of ending the process
        const rlimit r{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &r) != 0 || (unprivileged && (setgid(65534) != 0 || setuid(65534) != 0))) _exit(3);
        plist doc(file);
        doc.root->SetString("big", std::string(5000, 'x'));  // clears the load's error, if any
        doc.Save();
        _exit(!doc.error ? 0 : doc.errorMessage == messages[1] ? 1 : doc.errorMessage == messages[2] ? 2 : 3);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? messages[WEXITSTATUS(status) & 3] : "crashed";
}

// Each row: symbolic links to make, the file a save through p.plist replaces and its mode (0: not there yet),
// the folder's mode, whose the file is (0: ours; 1: another user's, who saves it, as root may write
// anything; 2: another user's, root saves it), a file size limit, and the message. A save keeps the file's
// mode, owner and links; a failed one leaves the old file byte for byte; neither leaves anything beside it.
TEST_F(PlistTest, SaveReplacesTheFileWholeOrNotAtAll) {
    struct Case { std::vector<std::pair<std::string, std::string>> links; std::string file; int fileMode, folderMode;
                  int other; rlim_t limit; std::string message; };
    const rlim_t none = RLIM_INFINITY;
    const std::string kOpenFailed = "Could not open file for saving";
    const Case cases[] = {
        {{}, "p.plist", 0640, 0755, 0, none, "saved"},
        {{}, "p.plist", 0600, 0755, 2, none, "saved"},
        {{{"p.plist", "sub/real.plist"}}, "sub/real.plist", 0604, 0755, 0, none, "saved"},
        {{{"p.plist", "sub/link"}, {"sub/link", "../real.plist"}}, "real.plist", 0640, 0755, 0, none, "saved"},
        {{{"p.plist", (dir / "sub/new.plist").string()}}, "sub/new.plist", 0, 0755, 0, none, "saved"},
        {{}, "p.plist", 0644, 0755, 0, 1000, "Could not write file"},  // as on a full disk
        {{}, "p.plist", 0666, 0555, 1, none, kOpenFailed},               // a read-only folder
        {{}, "p.plist", 0444, 0777, 1, none, kOpenFailed},               // a read-only file
        {{{"p.plist", "none/p.plist"}}, "none/p.plist", 0, 0755, 0, none, kOpenFailed},
        {{{"p.plist", "sub"}}, "sub", 0, 0755, 0, none, kOpenFailed},
        {{{"p.plist", "p.plist"}}, "p.plist", 0, 0755, 0, none, kOpenFailed},
    };
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
        EXPECT_EQ(SaveInChild(dir / "p.plist", c.limit, root && c.other == 1), c.message) << c.file;
        fs::permissions(dir, fs::perms(0700));

        const bool saved = c.message == "saved";
        const std::string big = "\t<key>big</key>\n\t<string>" + std::string(5000, 'x') + "</string>\n" + kFooter;
        EXPECT_EQ(ReadFile(dir / c.file), !saved ? (c.fileMode ? kOld : "")
                                          : (c.fileMode ? kOld.substr(0, kOld.size() - kFooter.size()) : kHeader) + big);
        if (saved || c.fileMode) {
            names.insert(c.file);
            EXPECT_EQ(fs::status(dir / c.file).permissions(), fs::perms(c.fileMode ? c.fileMode : 0666 & ~mask));
            struct stat st {};
            EXPECT_EQ(stat((dir / c.file).c_str(), &st) == 0 ? st.st_uid : 1, root && c.other ? 65534 : geteuid());
        }
        for (const auto& [link, to] : c.links) EXPECT_TRUE(fs::is_symlink(dir / link)) << link;
        EXPECT_EQ(Listing(), names) << c.file;
    }
}

TEST_F(PlistTest, DeepNestingDoesNotOverflowTheStack) {
    const int depth = 200000;  // far deeper than a recursive reader or teardown survives
    std::string open, close;
    for (int i = 0; i < depth; ++i) open += "<key>k</key>\n<dict>\n";
    for (int i = 0; i < depth; ++i) close += "</dict>\n";
    auto doc = LoadBody(open + "<key>leaf</key>\n<integer>1</integer>\n" + close);
    plistDict* node = doc->root.get();
    for (int i = 0; i < depth && node; ++i) node = node->child("k");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->GetInteger("leaf"), 1);
    doc.reset();
}

}  // namespace
