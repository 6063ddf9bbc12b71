// The document: loading, saving, header lines, the file format, and text that needs care.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "plist_testfiles.h"

namespace {

using plisttest::Dump;

const std::string kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n<dict>\n";
const std::string kFooter = "</dict>\n</plist>\n";

std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PlistTest : public ::testing::Test {
protected:
    std::filesystem::path dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "brindlex-plist-XXXXXX").string();
        EXPECT_NE(mkdtemp(pattern.data()), nullptr);
        return std::filesystem::path(pattern);
    }();
    ~PlistTest() override { std::filesystem::remove_all(dir); }

    std::unique_ptr<plist> LoadText(const std::string& content) {
        std::ofstream(dir / "p.plist", std::ios::binary) << content;
        return std::make_unique<plist>(dir / "p.plist");
    }
    std::unique_ptr<plist> LoadBody(const std::string& body) { return LoadText(kHeader + body + kFooter); }
    std::string SaveText(plist& doc) {
        doc.Save();
        return ReadFile(doc.savePath);
    }
};

TEST_F(PlistTest, MissingFileStartsANewDocumentAndFallbackIsReadInstead) {
    plist doc(dir / "Brindle.plist");
    EXPECT_TRUE(doc.error);
    EXPECT_EQ(doc.errorMessage, (dir / "Brindle.plist").string() + " does not exist");
    EXPECT_EQ(doc.headers.size(), 5u);
    EXPECT_EQ(doc.headers[0], "");
    EXPECT_EQ(doc.root->rootClass, &doc);
    EXPECT_FALSE(std::filesystem::exists(dir / "Brindle.plist"));
    EXPECT_EQ(SaveText(doc), kHeader + kFooter);  // the four default header lines
    EXPECT_TRUE(doc.error);                       // a successful save does not clear the earlier error
    plist relative("brindlex-surely-missing.plist");
    EXPECT_EQ(relative.errorMessage, (std::filesystem::current_path() / "brindlex-surely-missing.plist").string() +
                                         " does not exist");

    std::filesystem::rename(dir / "Brindle.plist", dir / "defaults.plist");
    plist mine(dir / "mine.plist", dir / "defaults.plist");
    EXPECT_FALSE(mine.error);
    mine.root->SetInteger("x", 7);
    mine.Save();
    EXPECT_EQ(plist(dir / "mine.plist").root->GetInteger("x"), 7);
    EXPECT_EQ(ReadFile(dir / "defaults.plist"), kHeader + kFooter);
    plist neither(dir / "a.plist", dir / "b.plist");
    EXPECT_EQ(neither.errorMessage, (dir / "b.plist").string() + " does not exist");
    EXPECT_EQ(neither.headers, doc.headers);
}

TEST_F(PlistTest, DocumentIsWrittenExactlyAndReadsBackTheSame) {
    plist doc(dir / "w.plist");
    plistDict& r = *doc.root;
    plisttest::BuildSharedDocument(r);
    r.SetDouble("ratio", 2.5);
    r.types.Set("odd", "boolean");
    r.values.Set("odd", "yes");  // any text but true is written as false
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
        "\t<key>ratio</key>\n\t<double>2.5</double>\n\t<key>odd</key>\n\t<false/>\n" + kFooter);

    plist back(dir / "w.plist");
    EXPECT_FALSE(back.error) << back.errorMessage;
    r.values.Set("odd", "false");
    EXPECT_EQ(Dump(*back.root), Dump(r));
    plistDict* array = back.root->child("array");
    EXPECT_EQ(array->indexOf, 6);  // a later Append continues the numbering
    EXPECT_EQ(array->index(4)->parent, array);
    EXPECT_EQ(back.root->child("nested")->child("inner")->rootClass, &back);
    EXPECT_EQ(SaveText(back), saved);  // what was read saves line for line
}

TEST_F(PlistTest, NotAPlistFile) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"hello\nworld\n", {"", "hello", "world"}},
        {"", {""}},
        {"<plist>\n\t<dict>\n</dict>\n", {"", "<plist>", "\t<dict>", "</dict>"}},  // indented root
        {"<plist><dict>\n", {"", "<plist><dict>"}},
    };
    for (const auto& [content, headers] : cases) {
        auto doc = LoadText(content);
        EXPECT_TRUE(doc->error);
        EXPECT_EQ(doc->errorMessage, "Not a plist file");
        EXPECT_EQ(doc->headers, headers);
        EXPECT_EQ(doc->root->count(), 0);
    }
    // Saved, such a document writes the file's lines, then the root's entries and the closing lines.
    auto doc = LoadText("hello\n");
    doc->root->SetInteger("n", 1);
    EXPECT_EQ(SaveText(*doc), "hello\n\t<key>n</key>\n\t<integer>1</integer>\n" + kFooter);
}

TEST_F(PlistTest, HeaderLinesAreKeptExactly) {
    const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- written by hand -->\n\n"
                             "  <!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"x.dtd\">\t\n"
                             "<plist version=\"1.0\">\n<DICT>\n\t<key>a</key>\n\t<string>b</string>\n" + kFooter;
    auto doc = LoadText(text);
    EXPECT_FALSE(doc->error);
    EXPECT_EQ(doc->headers.size(), 7u);  // the placeholder, then the six lines before the first entry
    EXPECT_EQ(SaveText(*doc), text);

    // Another writer's empty root is written out open, with the entries added since.
    doc = LoadText("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict/>\n</plist>\n");
    EXPECT_FALSE(doc->error);
    doc->root->SetInteger("n", 1);
    EXPECT_EQ(SaveText(*doc), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                              "\t<key>n</key>\n\t<integer>1</integer>\n" + kFooter);
}

// Each row: a root body, and the tree it reads as.
TEST_F(PlistTest, ReaderAcceptedLines) {
    const std::pair<std::string, std::string> cases[] = {
        {"<key>a</key>\n<string>x</string>\n", "{a:string=x;}"},
        {"  <key>a</key>\n<string>x</string>\n", "{:string=x;}"},  // space indentation is no key line
        {"<key>a\n<integer>5</integer>\n", "{a:integer=5;}"},
        {"<key>a</key>\n<string>x</string>\n<integer>2</integer>\n", "{a:integer=2;}"},
        {"<key>t</key>\n<TRUE/>\n<key>f</key>\n<false/>\n", "{t:boolean=true;f:boolean=false;}"},
        {"<key>l</key>\n<array>\n<string>x</string>\n<key>zz</key>\n<integer>5</integer>\n<dict>\n<key>in</key>\n"
         "<string>y</string>\n</dict>\n<true/>\n</array>\n",
         "{l:array[0:string=x;1:integer=5;2:dict{in:string=y;};3:boolean=true;];}"},
        {"\n<key>a</key>\nnoise\n<!-- note -->\n</string>\n<string>x</string>\n", "{a:string=x;}"},
        {"<key>s</key>\n<string/>\n<key>t</key>\n<string>x</string>\n", "{s:string=;t:string=x;}"},
        {"<key>c</key>\n<dict>\n<key>s</key>\n<string>open\n</dict>\n<key>n</key>\n<integer>1</integer>\n",
         "{c:dict{s:string(no text);};n:integer=1;}"},
        {"<key>b</key>\n<data>\n\tAAAA\n\tBBBB\n\tCC==\n</data>\n", "{b:data=AAAABBBBCC==;}"},
        // As other writers spread texts: the first fragment after the tag, the closing tag after the last.
        {"<key>a</key>\n<string>two\nlines</string>\n<key>b</key>\n<string>\nabc\n</string>\n",
         "{a:string=two\nlines;b:string=\nabc\n;}"},
    };
    for (const auto& [body, tree] : cases) {
        auto doc = LoadBody(body);
        EXPECT_FALSE(doc->error) << doc->errorMessage;
        EXPECT_EQ(Dump(*doc->root), tree);
    }
    auto cut = LoadText(kHeader + "\t<key>a</key>\n\t<string>x</string>\n\t<key>c</key>\n\t<dict>\n\t\t<key>b</key>\n");
    EXPECT_EQ(Dump(*cut->root), "{a:string=x;c:dict{};}");

    // Files with CR or CR LF line ends read the same and are written back with LF.
    const std::string lf = kHeader + "\t<key>a</key>\n\t<string>x\ny</string>\n\t<key>b</key>\n\t<true/>\n" + kFooter;
    for (const std::string end : {"\r\n", "\r"}) {
        std::string text;
        for (char c : lf) text += (c == '\n') ? end : std::string(1, c);
        auto doc = LoadText(text);
        EXPECT_EQ(doc->headers.size(), 5u);
        EXPECT_EQ(Dump(*doc->root), "{a:string=x\ny;b:boolean=true;}");
        EXPECT_EQ(SaveText(*doc), lf);
    }
}

// What a file says must be what a save writes back: each child keeps its own kind, a value that follows
// a child under the same key replaces it, and names that are no element are not kept as types.
TEST_F(PlistTest, OddBodiesReadAsTheySave) {
    auto doc = LoadBody("\t<key>c</key>\n\t<dict/>\n\t<array>\n\t\t<integer>1</integer>\n\t</array>\n"
                        "\t<key>v</key>\n\t<dict/>\n\t<string>now a text</string>\n"
                        "\t<key/>\n\t<string>empty key</string>\n\t<key>odd</key>\n\t<array//>\n");
    EXPECT_EQ(Dump(*doc->root), "{c:array{}[0:integer=1;];v:string=now a text;:string=empty key;}");
    EXPECT_EQ(SaveText(*doc), kHeader + "\t<key>c</key>\n\t<dict/>\n\t<array>\n\t\t<integer>1</integer>\n\t</array>\n"
                                        "\t<key>v</key>\n\t<string>now a text</string>\n"
                                        "\t<key></key>\n\t<string>empty key</string>\n" + kFooter);
    plist back(dir / "p.plist");
    EXPECT_EQ(Dump(*back.root), Dump(*doc->root));
}

TEST_F(PlistTest, EntitiesAreDecoded) {
    const std::pair<const char*, const char*> cases[] = {
        {"&amp;&lt;&gt;&quot;&apos;", "&<>\"'"},
        {"caf&#233; &#x1F600; &#X41;", "caf\xC3\xA9 \xF0\x9F\x98\x80 A"},
        {"R&D a & b", "R&D a & b"},  // written raw in the past
        {"&nbsp; &amp &#; &#xZZ; &#xD800; &#0; &#1114112;", "&nbsp; &amp &#; &#xZZ; &#xD800; &#0; &#1114112;"},
        {"&amp;amp;", "&amp;"},
    };
    for (const auto& [file, read] : cases) {
        auto doc = LoadBody(std::string("<key>k&amp;</key>\n<string>") + file + "</string>\n");
        EXPECT_EQ(doc->root->GetString("k&"), read) << file;
    }
}

TEST_F(PlistTest, MultiLineTextsReadBackExactly) {
    const std::string texts[] = {
        "two\nlines", "\nstarts with a break", "ends with a break\n", "a\n\n\nb", "\tindented\n\tsecond\n\t",
        "windows\r\nline\r\n", "old mac\rline", "line with </tag> lookalike\n<key>x</key>\n</dict>", "\n", "",
    };
    plist doc(dir / "ml.plist");
    for (std::size_t i = 0; i < std::size(texts); ++i) doc.root->SetString("t" + std::to_string(i), texts[i]);
    doc.root->SetString("key\nwith\r\nbreaks", "k");
    doc.root->SetString("after", "still here");
    const std::string saved = SaveText(doc);
    EXPECT_EQ(saved.find('\r'), std::string::npos);
    plist back(dir / "ml.plist");
    EXPECT_EQ(Dump(*back.root), Dump(*doc.root));
    EXPECT_EQ(SaveText(back), saved);  // every save of what was read gives the same file
}

TEST_F(PlistTest, SaveFailureIsReported) {
    plist doc(dir / "no-such-folder" / "p.plist");
    doc.error = false;
    doc.Save();
    EXPECT_TRUE(doc.error);
    EXPECT_EQ(doc.errorMessage, "Could not open file for saving");

    std::filesystem::create_directory(dir / "folder.plist");
    plist folder(dir / "folder.plist");
    EXPECT_EQ(folder.errorMessage, (dir / "folder.plist").string() + " could not be read");
    EXPECT_EQ(folder.headers.size(), 5u);
    folder.Save();
    EXPECT_EQ(folder.errorMessage, "Could not open file for saving");
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
