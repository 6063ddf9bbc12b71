// The document: loading, saving, header lines, the file format, and text that needs care.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "plist/plist.h"
#include "plist_testfiles.h"

using plisttest::kFooter;
using plisttest::kHeader;
using plisttest::ReadFile;
using plisttest::WriteFile;

namespace {

// The whole tree as one text: entries in enumeration order, children in brackets.
std::string Dump(const plistDict& node) {
    std::string out = node.isArray ? "[" : "{";
    for (std::int32_t i = 0; i < node.count(); ++i) {
        const std::string& key = node.types.Key(i);
        const std::string& type = node.types.ValueAt(i);
        out += key + ":" + type;
        if (type == "dict" || type == "array") {
            for (std::size_t c = 1; c < node.childrenNames.size(); ++c)
                if (node.childrenNames[c] == key) out += Dump(*node.children[c]);
        } else if (const std::string* text = node.values.Find(key)) {
            out += "=" + *text;
        } else {
            out += "(no text)";
        }
        out += ";";
    }
    return out + (node.isArray ? "]" : "}");
}

class PlistTest : public ::testing::Test {
protected:
    plisttest::TempFolder dir;

    std::unique_ptr<plist> LoadText(const std::string& content, const std::string& name = "p.plist") {
        WriteFile(dir / name, content);
        return std::make_unique<plist>(dir / name);
    }
    std::unique_ptr<plist> LoadBody(const std::string& body) { return LoadText(kHeader + body + kFooter); }
    std::string SaveText(plist& doc) {
        doc.Save();
        return ReadFile(doc.savePath);
    }
};

TEST_F(PlistTest, MissingFileStartsANewDocument) {
    const auto path = dir / "Brindle.plist";
    plist doc(path);
    EXPECT_TRUE(doc.error);
    EXPECT_EQ(doc.errorMessage, path.string() + " does not exist");
    EXPECT_EQ(doc.headers, (std::vector<std::string>{"", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
                                                     "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
                                                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">",
                                                     "<plist version=\"1.0\">", "<dict>"}));
    ASSERT_NE(doc.root, nullptr);
    EXPECT_EQ(doc.root->count(), 0);
    EXPECT_EQ(doc.root->name, "root");
    EXPECT_EQ(doc.root->rootClass, &doc);
    EXPECT_EQ(doc.savePath, path);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(PlistTest, RelativeMissingFileIsNamedByItsAbsolutePath) {
    plist doc("brindlex-surely-missing.plist");
    EXPECT_EQ(doc.errorMessage, (std::filesystem::current_path() / "brindlex-surely-missing.plist").string() +
                                    " does not exist");
}

TEST_F(PlistTest, NewDocumentIsWrittenExactly) {
    plist empty(dir / "empty.plist");
    EXPECT_EQ(SaveText(empty), kHeader + kFooter);
    EXPECT_TRUE(empty.error);  // a successful save does not clear the earlier error

    plist doc(dir / "Brindle.plist");
    doc.root->SetString("DatabaseFileName", "/Users/me/Library/Syndication/Database3");
    doc.root->SetInteger("UpdateInterval", 30);
    doc.root->SetBoolean("AutoRefresh", false);
    EXPECT_EQ(SaveText(doc), kHeader +
                                 "\t<key>DatabaseFileName</key>\n"
                                 "\t<string>/Users/me/Library/Syndication/Database3</string>\n"
                                 "\t<key>UpdateInterval</key>\n"
                                 "\t<integer>30</integer>\n"
                                 "\t<key>AutoRefresh</key>\n"
                                 "\t<false/>\n" +
                                 kFooter);
}

TEST_F(PlistTest, WriterLinesForEveryKindOfEntry) {
    plist doc(dir / "w.plist");
    plistDict& r = *doc.root;
    r.SetDouble("ratio", 2.5);
    r.SetData("blob", "aGVsbG8=");
    r.SetString("empty", "");
    r.AddChild("prefs");
    r.AddArray("list");
    plistDict& list = *r.child("list");
    list.AppendInteger(-4);
    list.AppendDict();
    list.index(1)->SetBoolean("on", true);
    list.AppendArray();
    r.SetDate("when", plistDate(2006, 2, 2, 14, 5, 9));
    r.types.Set("odd", "boolean");
    r.values.Set("odd", "yes");  // any text but true is written as false
    EXPECT_EQ(SaveText(doc), kHeader +
                                 "\t<key>ratio</key>\n"
                                 "\t<double>2.5</double>\n"
                                 "\t<key>blob</key>\n"
                                 "\t<data>\n"
                                 "\taGVsbG8=\n"
                                 "\t</data>\n"
                                 "\t<key>empty</key>\n"
                                 "\t<string></string>\n"
                                 "\t<key>prefs</key>\n"
                                 "\t<dict/>\n"
                                 "\t<key>list</key>\n"
                                 "\t<array>\n"
                                 "\t\t<integer>-4</integer>\n"
                                 "\t\t<dict>\n"
                                 "\t\t\t<key>on</key>\n"
                                 "\t\t\t<true/>\n"
                                 "\t\t</dict>\n"
                                 "\t\t<array/>\n"
                                 "\t</array>\n"
                                 "\t<key>when</key>\n"
                                 "\t<date>2006-02-02T14:05:09Z</date>\n"
                                 "\t<key>odd</key>\n"
                                 "\t<false/>\n" +
                                 kFooter);
}

TEST_F(PlistTest, NestedTreeRoundTripsWithTheEmptyForms) {
    plist doc(dir / "tree.plist");
    plistDict& r = *doc.root;
    r.SetString("name", "Brindle");
    r.SetInteger("count", 12);
    r.SetDouble("ratio", 0.1);
    r.SetBoolean("yes", true);
    r.SetBoolean("no", false);
    r.SetDate("when", plistDate(2004, 3, 5, 9, 7, 3));
    r.SetData("blob", "AAEC");
    r.AddChild("empty dict");
    r.AddArray("empty array");
    r.AddChild("outer");
    plistDict& outer = *r.child("outer");
    outer.SetString("k", "v");
    outer.AddArray("items");
    plistDict& items = *outer.child("items");
    items.AppendString("one");
    items.AppendDict();
    items.index(1)->AddChild("inner");
    items.index(1)->child("inner")->SetInteger("depth", 3);
    items.AppendArray();
    items.index(2)->AppendArray();
    items.index(2)->AppendBoolean(false);
    items.AppendDict();
    items.AppendString("");
    const std::string saved = SaveText(doc);

    plist back(dir / "tree.plist");
    EXPECT_FALSE(back.error) << back.errorMessage;
    EXPECT_EQ(Dump(*back.root), Dump(r));
    EXPECT_TRUE(back.root->child("empty array")->isArray);
    EXPECT_EQ(back.root->child("outer")->child("items")->index(1)->child("inner")->GetInteger("depth"), 3);
    // Saving what was read reproduces the file line for line.
    EXPECT_EQ(SaveText(back), saved);
}

TEST_F(PlistTest, NotAPlistFile) {
    struct Case { const char* what; std::string content; std::vector<std::string> headers; };
    const Case cases[] = {
        {"plain text", "hello\nworld\n", {"", "hello", "world"}},
        {"empty file", "", {""}},
        {"indented root", "<plist>\n\t<dict>\n</dict>\n", {"", "<plist>", "\t<dict>", "</dict>"}},
        {"root sharing its line", "<plist><dict>\n", {"", "<plist><dict>"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto doc = LoadText(c.content);
        EXPECT_TRUE(doc->error);
        EXPECT_EQ(doc->errorMessage, "Not a plist file");
        EXPECT_EQ(doc->headers, c.headers);
        EXPECT_EQ(doc->root->count(), 0);
        EXPECT_EQ(doc->root->rootClass, doc.get());
    }
    // Saved, such a document writes the file's lines, then the root's entries and the closing lines.
    auto doc = LoadText("hello\n");
    doc->root->SetInteger("n", 1);
    EXPECT_EQ(SaveText(*doc), "hello\n\t<key>n</key>\n\t<integer>1</integer>\n" + kFooter);
}

TEST_F(PlistTest, HeaderLinesAreKeptExactly) {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- written by hand -->\n"
        "\n"
        "  <!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"x.dtd\">\t\n"
        "<plist version=\"1.0\">\n"
        "<DICT>\n"
        "\t<key>a</key>\n"
        "\t<string>b</string>\n" +
        kFooter;
    auto doc = LoadText(text);
    EXPECT_FALSE(doc->error);
    EXPECT_EQ(doc->headers,
              (std::vector<std::string>{"", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<!-- written by hand -->", "",
                                        "  <!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"x.dtd\">\t",
                                        "<plist version=\"1.0\">", "<DICT>"}));
    EXPECT_EQ(SaveText(*doc), text);
}

TEST_F(PlistTest, FallbackIsReadButTheFileIsSaved) {
    WriteFile(dir / "defaults.plist", kHeader + "\t<key>x</key>\n\t<integer>7</integer>\n" + kFooter);
    plist doc(dir / "mine.plist", dir / "defaults.plist");
    EXPECT_FALSE(doc.error);
    EXPECT_EQ(doc.root->GetInteger("x"), 7);
    EXPECT_EQ(doc.savePath, dir / "mine.plist");
    doc.Save();
    EXPECT_TRUE(std::filesystem::exists(dir / "mine.plist"));

    plist neither(dir / "a.plist", dir / "b.plist");
    EXPECT_EQ(neither.errorMessage, (dir / "b.plist").string() + " does not exist");
    EXPECT_EQ(neither.headers.size(), 5u);
}

// Each row: a root body, and the tree it reads as.
TEST_F(PlistTest, ReaderAcceptedLines) {
    struct Case { const char* what; std::string body; std::string tree; };
    const Case cases[] = {
        {"no indentation", "<key>a</key>\n<string>x</string>\n", "{a:string=x;}"},
        {"tab indentation", "\t\t<key>a</key>\n\t\t<string>x</string>\n", "{a:string=x;}"},
        {"space indentation is not a key line", "  <key>a</key>\n<string>x</string>\n", "{:string=x;}"},
        {"key without closing tag", "<key>a\n<integer>5</integer>\n", "{a:integer=5;}"},
        {"key kept for two values", "<key>a</key>\n<string>x</string>\n<integer>2</integer>\n", "{a:integer=2;}"},
        {"value before any key", "<string>x</string>\n", "{:string=x;}"},
        {"booleans in any case", "<key>t</key>\n<TRUE/>\n<key>f</key>\n<false/>\n", "{t:boolean=true;f:boolean=false;}"},
        {"array elements numbered",
         "<key>l</key>\n<array>\n<string>x</string>\n<integer>5</integer>\n<dict>\n<key>in</key>\n"
         "<string>y</string>\n</dict>\n<true/>\n</array>\n",
         "{l:array[0:string=x;1:integer=5;2:dict{in:string=y;};3:boolean=true;];}"},
        {"key line in an array changes nothing", "<key>l</key>\n<array>\n<key>zz</key>\n<string>x</string>\n</array>\n",
         "{l:array[0:string=x;];}"},
        {"empty forms", "<key>d</key>\n<dict/>\n<key>a</key>\n<array/>\n<key>s</key>\n<string>z</string>\n",
         "{d:dict{};a:array[];s:string=z;}"},
        {"blank and unknown lines ignored", "\n<key>a</key>\nnoise\n<!-- note -->\n</string>\n<string>x</string>\n",
         "{a:string=x;}"},
        {"foreign element names kept", "<key>r</key>\n<real>1.5</real>\n", "{r:real=1.5;}"},
        {"self-closing string is empty", "<key>s</key>\n<string/>\n<key>t</key>\n<string>x</string>\n",
         "{s:string=;t:string=x;}"},
        {"value open at the end tag", "<key>c</key>\n<dict>\n<key>s</key>\n<string>open\n</dict>\n<key>n</key>\n"
         "<integer>1</integer>\n",
         "{c:dict{s:string(no text);};n:integer=1;}"},
        {"two children under one key", "<key>c</key>\n<dict>\n</dict>\n<dict>\n<key>x</key>\n<true/>\n</dict>\n",
         "{c:dict{}{x:boolean=true;};}"},
        {"data over several lines", "<key>b</key>\n<data>\n\tAAAA\n\tBBBB\n\tCC==\n</data>\n", "{b:data=AAAABBBBCC==;}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto doc = LoadBody(c.body);
        EXPECT_FALSE(doc->error) << doc->errorMessage;
        EXPECT_EQ(Dump(*doc->root), c.tree);
    }
}

TEST_F(PlistTest, BodyCutShortKeepsWhatWasRead) {
    auto doc = LoadText(kHeader + "\t<key>a</key>\n\t<string>x</string>\n\t<key>c</key>\n\t<dict>\n\t\t<key>b</key>\n");
    EXPECT_FALSE(doc->error);
    EXPECT_EQ(Dump(*doc->root), "{a:string=x;c:dict{};}");
}

TEST_F(PlistTest, ArrayChildReachableByIndex) {
    auto doc = LoadBody("<key>l</key>\n<array>\n<string>x</string>\n<integer>5</integer>\n<dict>\n"
                        "<key>k</key>\n<string>y</string>\n</dict>\n<true/>\n</array>\n");
    plistDict* l = doc->root->child("l");
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->indexOf, 3);
    ASSERT_NE(l->index(2), nullptr);
    EXPECT_EQ(l->index(2)->GetString("k"), "y");
    EXPECT_EQ(l->index(2)->parent, l);
    EXPECT_EQ(l->index(2)->rootClass, doc.get());
}

TEST_F(PlistTest, SpecialCharactersAreEscapedAndDecoded) {
    plist doc(dir / "esc.plist");
    doc.root->SetString("Tom & Jerry <1>", "a & b < c > d");
    doc.root->SetString("path", "/Users/me/R&D/Database3");
    const std::string saved = SaveText(doc);
    EXPECT_NE(saved.find("\t<key>Tom &amp; Jerry &lt;1&gt;</key>\n\t<string>a &amp; b &lt; c &gt; d</string>\n"),
              std::string::npos);
    EXPECT_NE(saved.find("<string>/Users/me/R&amp;D/Database3</string>"), std::string::npos);
    plist back(dir / "esc.plist");
    EXPECT_EQ(back.root->GetString("Tom & Jerry <1>"), "a & b < c > d");
    EXPECT_EQ(back.root->GetString("path"), "/Users/me/R&D/Database3");

    struct Case { const char* file; const char* read; };
    const Case cases[] = {
        {"&amp;&lt;&gt;&quot;&apos;", "&<>\"'"},
        {"caf&#233; &#x1F600; &#X41;", "caf\xC3\xA9 \xF0\x9F\x98\x80 A"},
        {"R&D", "R&D"},
        {"a & b", "a & b"},
        {"&nbsp; &amp &#; &#xZZ; &#xD800; &#0; &#1114112;", "&nbsp; &amp &#; &#xZZ; &#xD800; &#0; &#1114112;"},
        {"&amp;amp;", "&amp;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto d = LoadBody(std::string("<key>k&amp;</key>\n<string>") + c.file + "</string>\n");
        EXPECT_EQ(d->root->GetString("k&"), c.read);
    }
}

TEST_F(PlistTest, MultiLineTextsReadBackExactly) {
    const std::string texts[] = {
        "two\nlines",
        "\nstarts with a break",
        "ends with a break\n",
        "a\n\n\nb",
        "\tindented\n\tsecond\n\t",
        "windows\r\nline\r\n",
        "old mac\rline",
        "line with </tag> lookalike\n<key>x</key>\n</dict>",
        "\n",
        "",
    };
    plist doc(dir / "ml.plist");
    for (std::size_t i = 0; i < std::size(texts); ++i) doc.root->SetString("t" + std::to_string(i), texts[i]);
    doc.root->AddArray("l");
    for (const auto& t : texts) doc.root->child("l")->AppendString(t);
    doc.root->SetString("after", "still here");
    doc.root->SetString("key\nwith\r\nbreaks", "k");
    const std::string saved = SaveText(doc);
    EXPECT_EQ(saved.find('\r'), std::string::npos);

    plist back(dir / "ml.plist");
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        EXPECT_EQ(back.root->GetString("t" + std::to_string(i)), texts[i]) << i;
        EXPECT_EQ(back.root->child("l")->GetString(std::to_string(i)), texts[i]) << i;
    }
    EXPECT_EQ(back.root->GetString("after"), "still here");
    EXPECT_EQ(back.root->GetString("key\nwith\r\nbreaks"), "k");
    // Every save of what was read gives the same file.
    EXPECT_EQ(SaveText(back), saved);

    // As other writers spread them: the first fragment after the tag, the closing tag after the last.
    auto other = LoadBody("<key>a</key>\n<string>two\nlines</string>\n<key>b</key>\n<string>\nabc\n</string>\n");
    EXPECT_EQ(other->root->GetString("a"), "two\nlines");
    EXPECT_EQ(other->root->GetString("b"), "\nabc\n");
}

TEST_F(PlistTest, DataIsJoinedWithoutLineBreaks) {
    plist doc(dir / "data.plist");
    doc.root->SetData("blob", "aGVsbG8gd29ybGQ=");
    doc.Save();
    plist back(dir / "data.plist");
    EXPECT_EQ(back.root->GetData("blob"), "aGVsbG8gd29ybGQ=");
    auto split = LoadBody("\t<key>blob</key>\n\t<data>\n\taGVsbG8g\n\td29ybGQ=\n\t</data>\n");
    EXPECT_EQ(split->root->GetData("blob"), "aGVsbG8gd29ybGQ=");
}

TEST_F(PlistTest, AnyLineEndReadsTheSame) {
    const std::string lf = kHeader + "\t<key>a</key>\n\t<string>x\ny</string>\n\t<key>b</key>\n\t<true/>\n" + kFooter;
    auto withEnds = [&](const std::string& end) {
        std::string out;
        for (char c : lf) out += (c == '\n') ? end : std::string(1, c);
        return out;
    };
    for (const std::string end : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(end == "\n" ? "LF" : end == "\r" ? "CR" : "CRLF");
        auto doc = LoadText(withEnds(end));
        EXPECT_FALSE(doc->error);
        EXPECT_EQ(doc->headers.size(), 5u);
        EXPECT_EQ(doc->root->GetString("a"), "x\ny");
        EXPECT_TRUE(doc->root->GetBoolean("b"));
        EXPECT_EQ(SaveText(*doc), lf);  // written back with LF
    }
}

TEST_F(PlistTest, RootFromAnotherWriterWrittenEmpty) {
    auto doc = LoadText("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict/>\n</plist>\n");
    EXPECT_FALSE(doc->error);
    doc->root->SetInteger("n", 1);
    EXPECT_EQ(SaveText(*doc), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                              "\t<key>n</key>\n\t<integer>1</integer>\n" + kFooter);
}

TEST_F(PlistTest, DuplicateChildrenAreWrittenAndReadBackAsTwo) {
    plist doc(dir / "dup.plist");
    doc.root->AddChild("c");
    doc.root->AddChild("c");
    doc.root->children[2]->SetString("second", "yes");
    EXPECT_EQ(SaveText(doc), kHeader + "\t<key>c</key>\n\t<dict/>\n\t<dict>\n\t\t<key>second</key>\n"
                                       "\t\t<string>yes</string>\n\t</dict>\n" + kFooter);
    plist back(dir / "dup.plist");
    EXPECT_EQ(back.root->children.size(), 3u);
    EXPECT_EQ(Dump(*back.root), "{c:dict{}{second:string=yes;};}");
}

// What a file says must be what a save writes back: each child keeps its own kind, a value that follows
// a child under the same key replaces it, and names that are no element are not kept as types.
TEST_F(PlistTest, OddBodiesReadAsTheySave) {
    auto doc = LoadBody("\t<key>c</key>\n\t<dict/>\n\t<array>\n\t\t<integer>1</integer>\n\t</array>\n"
                        "\t<key>v</key>\n\t<dict/>\n\t<string>now a text</string>\n"
                        "\t<key/>\n\t<string>empty key</string>\n"
                        "\t<key>odd</key>\n\t<array//>\n");
    EXPECT_EQ(Dump(*doc->root), "{c:array{}[0:integer=1;];v:string=now a text;:string=empty key;}");
    doc->Save();
    EXPECT_EQ(plisttest::ReadFile(dir / "p.plist"),
              kHeader + "\t<key>c</key>\n\t<dict/>\n\t<array>\n\t\t<integer>1</integer>\n\t</array>\n"
                        "\t<key>v</key>\n\t<string>now a text</string>\n"
                        "\t<key></key>\n\t<string>empty key</string>\n" + kFooter);
    plist back(dir / "p.plist");
    EXPECT_EQ(Dump(*back.root), Dump(*doc->root));
}

TEST_F(PlistTest, SaveFailureIsReported) {
    plist doc(dir / "no-such-folder" / "p.plist");
    doc.error = false;
    doc.Save();
    EXPECT_TRUE(doc.error);
    EXPECT_EQ(doc.errorMessage, "Could not open file for saving");

    std::filesystem::create_directory(dir / "folder.plist");
    plist folder(dir / "folder.plist");
    EXPECT_TRUE(folder.error);
    EXPECT_EQ(folder.errorMessage, (dir / "folder.plist").string() + " could not be read");
    EXPECT_EQ(folder.headers.size(), 5u);
    folder.Save();
    EXPECT_EQ(folder.errorMessage, "Could not open file for saving");
}

std::string NestedBody(int depth) {
    std::string body;
    for (int i = 0; i < depth; ++i) body += "<key>k</key>\n<dict>\n";
    body += "<key>leaf</key>\n<integer>1</integer>\n";
    for (int i = 0; i < depth; ++i) body += "</dict>\n";
    return body;
}

TEST_F(PlistTest, DeepNestingDoesNotOverflowTheStack) {
    // Far deeper than a recursive reader or teardown survives; written files stay unindented here.
    const int depth = 200000;
    auto doc = LoadBody(NestedBody(depth));
    plistDict* node = doc->root.get();
    for (int i = 0; i < depth; ++i) {
        node = node->child("k");
        ASSERT_NE(node, nullptr);
    }
    EXPECT_EQ(node->GetInteger("leaf"), 1);
    doc.reset();

    // Saving indents every level, so the file grows with the square of the depth: keep this one moderate.
    auto mid = LoadBody(NestedBody(3000));
    mid->Save();
    plist back(dir / "p.plist");
    EXPECT_FALSE(back.error);
    const plistDict* n = back.root.get();
    for (int i = 0; i < 3000 && n; ++i) n = n->children.size() > 1 ? n->children[1].get() : nullptr;
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->values.Value("leaf"), "1");
}

TEST_F(PlistTest, LargeDocumentRoundTrips) {
    plist doc(dir / "big.plist");
    for (int i = 0; i < 10000; ++i) {
        const std::string k = "key" + std::to_string(i);
        switch (i % 4) {
        case 0: doc.root->SetString(k, "value & " + std::to_string(i)); break;
        case 1: doc.root->SetInteger(k, i); break;
        case 2: doc.root->SetBoolean(k, i % 3 == 0); break;
        default: doc.root->AddChild(k); doc.root->child(k)->SetString("inner", k);
        }
    }
    const std::string saved = SaveText(doc);
    plist back(dir / "big.plist");
    EXPECT_EQ(back.root->count(), 10000);
    EXPECT_EQ(back.root->GetString("key9996"), "value & 9996");
    EXPECT_EQ(back.root->child("KEY9999")->GetString("inner"), "key9999");
    EXPECT_EQ(SaveText(back), saved);
}

}  // namespace
