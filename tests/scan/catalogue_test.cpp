#include "scan/catalogue.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const char *const kSample = "sample.dll;4;0;-;0;-;100;>=;900;<;\n";

// A literal with NUL bytes in it, all of it but the terminator.
template <size_t N>
std::string Bytes(const char (&text)[N])
{
    return std::string(text, N - 1);
}

// Appended to DataFile.txt by the next rewind: the loader goes back to the
// file's start with rewind between its two passes, so this grows the file
// between them.
std::string g_growthBeforeRewind;

}  // namespace

// The loader's rewind: this program's own, which grows the file first when
// a test asks for it, and then does what rewind does.
extern "C" void rewind(FILE *stream)
{
    if (!g_growthBeforeRewind.empty()) {
        FILE *file = std::fopen("DataFile.txt", "ab");
        if (!file || std::fwrite(g_growthBeforeRewind.data(), 1, g_growthBeforeRewind.size(), file) !=
                         g_growthBeforeRewind.size() || std::fclose(file) != 0)
            ADD_FAILURE() << "cannot grow DataFile.txt";
        g_growthBeforeRewind.clear();
    }
    std::fseek(stream, 0, SEEK_SET);
    std::clearerr(stream);
}

namespace {

// Every test runs in a fresh folder of its own, where it writes DataFile.txt.
class CatalogueTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(getcwd(previous_, sizeof previous_), nullptr);
        char pattern[] = "/tmp/catalogue_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        ASSERT_EQ(chdir(folder_.c_str()), 0);
        std::memset(&catalogue_, 0, sizeof catalogue_);
    }

    void TearDown() override
    {
        ReleaseCatalogue(&catalogue_);
        std::remove("DataFile.txt");
        rmdir("DataFile.txt");  // the read-error case leaves a folder of that name
        EXPECT_EQ(chdir(previous_), 0);
        EXPECT_EQ(rmdir(folder_.c_str()), 0);
    }

    static void Write(const std::string &bytes)
    {
        FILE *file = std::fopen("DataFile.txt", "wb");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
        ASSERT_EQ(std::fclose(file), 0);
    }

    // Loads `bytes`; a failed load must leave nothing behind.
    bool Load(const std::string &bytes)
    {
        Write(bytes);
        // Stale values a careless loader might leave in place.
        catalogue_.entries = reinterpret_cast<CatalogueEntry *>(1);
        catalogue_.count = 7;
        catalogue_.index = reinterpret_cast<CatalogueIndex *>(1);
        bool loaded = LoadCatalogue(&catalogue_);
        if (!loaded) {
            EXPECT_EQ(catalogue_.entries, nullptr);
            EXPECT_EQ(catalogue_.count, 0u);
            EXPECT_EQ(catalogue_.index, nullptr);
        }
        return loaded;
    }

    std::vector<uint32_t> Find(const char *name) const
    {
        const uint32_t *indices = nullptr;
        uint32_t found = FindEntriesByName(&catalogue_, name, &indices);
        if (found == 0)
            return {};
        return std::vector<uint32_t>(indices, indices + found);
    }

    // Loads `expected` and then `bytes`, which must give the same catalogue:
    // the same support-site line and the same entries, field by field. The
    // second load stays in catalogue_.
    void ExpectLoadsAlike(const std::string &expected, const std::string &bytes);

    char previous_[PATH_MAX];
    std::string folder_;
    Catalogue catalogue_;
};

void ExpectConditions(const CatalogueEntry &entry, const std::vector<MatchCondition> &expected)
{
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(entry.conditions[i].value, expected[i].value) << "condition " << i + 1;
        EXPECT_EQ(entry.conditions[i].op, expected[i].op) << "condition " << i + 1;
    }
}

TEST_F(CatalogueTest, SampleEntryIsReadFieldByField)
{
    ASSERT_TRUE(Load(std::string("http://support.example/\n") + kSample));
    ASSERT_EQ(catalogue_.count, 1u);
    EXPECT_STREQ(catalogue_.supportSite, "http://support.example/\n");
    const CatalogueEntry &entry = catalogue_.entries[0];
    EXPECT_STREQ(entry.name, "sample.dll");
    EXPECT_EQ(entry.kind, 4);
    ExpectConditions(entry, {{0, OP_NONE}, {0, OP_NONE}, {100, OP_GREATER_EQUAL}, {900, OP_LESS}});
}

void CatalogueTest::ExpectLoadsAlike(const std::string &expected, const std::string &bytes)
{
    ASSERT_TRUE(Load(expected));
    std::vector<CatalogueEntry> want(catalogue_.entries, catalogue_.entries + catalogue_.count);
    std::string site = catalogue_.supportSite;
    ReleaseCatalogue(&catalogue_);

    ASSERT_TRUE(Load(bytes));
    ASSERT_EQ(catalogue_.count, want.size());
    EXPECT_EQ(catalogue_.supportSite, site);
    for (uint32_t i = 0; i < catalogue_.count; ++i) {
        SCOPED_TRACE(want[i].name);
        EXPECT_STREQ(catalogue_.entries[i].name, want[i].name);
        EXPECT_EQ(catalogue_.entries[i].kind, want[i].kind);
        ExpectConditions(catalogue_.entries[i], std::vector<MatchCondition>(want[i].conditions, want[i].conditions + 4));
    }
}

// One entry line after a support-site line; each row checks what it stores.
struct EntryCase {
    const char *label;
    std::string line;
    std::function<void(const CatalogueEntry &)> check;
};

TEST_F(CatalogueTest, EntryFields)
{
    const EntryCase cases[] = {
        {"tenth field carrying the line end is no operator", "sample.dll;4;0;-;0;-;100;>=;900;<\n",
         [](const CatalogueEntry &e) { ExpectConditions(e, {{0, 0}, {0, 0}, {100, 4}, {900, 0}}); }},
        {"last line without a line end", "sample.dll;4;0;-;0;-;100;>=;900;<",
         [](const CatalogueEntry &e) { ExpectConditions(e, {{0, 0}, {0, 0}, {100, 4}, {900, 1}}); }},
        {"ninth field then ';' leaves the line end as the tenth", "a.dll;4;1;<;2;<=;3;>;4;\n",
         [](const CatalogueEntry &e) { ExpectConditions(e, {{1, 1}, {2, 2}, {3, 3}, {4, 0}}); }},
        {"';;' is one separator", "sample.dll;;4;;0;-;0;-;100;;>=;900;<;\n",
         [](const CatalogueEntry &e) {
             EXPECT_STREQ(e.name, "sample.dll");
             EXPECT_EQ(e.kind, 4);
             ExpectConditions(e, {{0, 0}, {0, 0}, {100, 4}, {900, 1}});
         }},
        {"leading ';' skipped", ";;sample.dll;4;0;-;0;-;100;>=;900;<;\n",
         [](const CatalogueEntry &e) { EXPECT_STREQ(e.name, "sample.dll"); }},
        {"fields after the tenth ignored", "x.dll;1;1;<;1;<;1;<;1;<;junk;;more\n",
         [](const CatalogueEntry &e) { ExpectConditions(e, {{1, 1}, {1, 1}, {1, 1}, {1, 1}}); }},
        {"blanks belong to the name", " sample.dll ;4;0;-;0;-;0;-;0;-;\n",
         [](const CatalogueEntry &e) { EXPECT_STREQ(e.name, " sample.dll "); }},
        {"blank then '#' is an entry", " #x.dll;4;0;-;0;-;0;-;0;-;\n",
         [](const CatalogueEntry &e) { EXPECT_STREQ(e.name, " #x.dll"); }},
        {"operators compared exactly", "x.dll;4;1;<= ;2; >=;3;=;4;>=;\n",
         [](const CatalogueEntry &e) { ExpectConditions(e, {{1, 0}, {2, 0}, {3, 0}, {4, 4}}); }},
        {"2^64-1 is all ones", "x.dll;4;18446744073709551615;<;0;-;0;-;0;-;\n",
         [](const CatalogueEntry &e) { EXPECT_EQ(e.conditions[0].value, UINT64_MAX); }},
        {"2^64 wraps to 0, 2^64+5 to 5", "x.dll;4;18446744073709551616;<;18446744073709551621;<;0;-;0;-;\n",
         [](const CatalogueEntry &e) {
             EXPECT_EQ(e.conditions[0].value, 0u);
             EXPECT_EQ(e.conditions[1].value, 5u);
         }},
        {"'-' stores the two's complement", "x.dll;-2;-1;<;-18446744073709551615;<;0;-;0;-;\n",
         [](const CatalogueEntry &e) {
             EXPECT_EQ(e.kind, -2);
             EXPECT_EQ(e.conditions[0].value, UINT64_MAX);
             EXPECT_EQ(e.conditions[1].value, 1u);
         }},
        {"digits stop at the first non-digit", "x.dll;4abc;12abc;<;abc;<;+7;<;1 2;<;\n",
         [](const CatalogueEntry &e) {
             EXPECT_EQ(e.kind, 4);
             ExpectConditions(e, {{12, 1}, {0, 1}, {7, 1}, {1, 1}});
         }},
        {"white space before the digits skipped", "x.dll; 5;  42;<;\t\v\f\r9;<;- 3;<;+-3;<;\n",
         [](const CatalogueEntry &e) {
             EXPECT_EQ(e.kind, 5);
             ExpectConditions(e, {{42, 1}, {9, 1}, {0, 1}, {0, 1}});
         }},
        {"kind wraps modulo 2^32", "x.dll;4294967297;0;-;0;-;0;-;0;-;\n",
         [](const CatalogueEntry &e) { EXPECT_EQ(e.kind, 1); }},
        {"kind past INT32_MAX", "x.dll;2147483648;0;-;0;-;0;-;0;-;\n",
         [](const CatalogueEntry &e) { EXPECT_EQ(e.kind, INT32_MIN); }},
        {"255-character name fits", std::string(255, 'n') + ";4;0;-;0;-;0;-;0;-;\n",
         [](const CatalogueEntry &e) { EXPECT_EQ(std::strlen(e.name), 255u); }},
        {"NUL ends the line's text", Bytes("x.dll;4;1;<;2;<;3;<;4;<;\0;;;garbage\n"),
         [](const CatalogueEntry &e) { ExpectConditions(e, {{1, 1}, {2, 1}, {3, 1}, {4, 1}}); }},
    };
    for (const EntryCase &c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(Load("site\n" + c.line));
        ASSERT_EQ(catalogue_.count, 1u);
        c.check(catalogue_.entries[0]);
        ReleaseCatalogue(&catalogue_);
    }
}

// Whole files: which load, how many entries and which support-site line.
struct FileCase {
    const char *label;
    std::string bytes;
    bool loads;
    uint32_t count;
    std::string supportSite;
};

TEST_F(CatalogueTest, WholeFiles)
{
    const std::string sample = kSample;
    const std::string longSite(515, 's');
    // An entry padded with ";" to exactly one read, so that the rest of its
    // line comes as a piece of its own.
    std::string fullRead = "a.dll;4;0;-;0;-;0;-;0;-;";
    fullRead += std::string(515 - fullRead.size(), ';');

    const FileCase cases[] = {
        {"empty file", "", false, 0, ""},
        {"only the first line", "site\n", false, 0, ""},
        {"only the first line, no line end", "site", false, 0, ""},
        {"first line and comments", "site\n#one\n#two;4;0;-;0;-;0;-;0;-;\n", false, 0, ""},
        {"one entry", "site\n" + sample, true, 1, "site\n"},
        {"first line starting with '#' is the site", "#site\n" + sample, true, 1, "#site\n"},
        {"first line looking like an entry is the site", sample + sample, true, 1, sample},
        {"comments between entries", "site\n#c\n" + sample + "#\n" + sample, true, 2, "site\n"},
        {"blank lines skipped", "site\n\n" + sample + "\r\n\n" + sample + "\n", true, 2, "site\n"},
        {"blank first line is still the site", "\n" + sample, true, 1, "\n"},
        {"nine fields, no final ';'", "site\nx.dll;4;0;-;0;-;0;-;0\n", false, 0, ""},
        {"a name alone", "site\n" + sample + "x.dll\n", false, 0, ""},
        {"blanks only", "site\n" + sample + "   \n", false, 0, ""},
        {"separators only", "site\n;;;;\n" + sample, false, 0, ""},
        {"256-character name", "site\n" + std::string(256, 'n') + ";4;0;-;0;-;0;-;0;-;\n", false, 0, ""},
        {"NUL at the start of an entry line", "site\n" + std::string(1, '\0') + sample, false, 0, ""},
        {"NUL cuts the fields short", "site\n" + Bytes("x.dll;4;0\0;-;0;-;0;-;0;-;\n"), false, 0, ""},
        {"NUL is no line end", "site\n" + Bytes("x.dll;4;0;-;0;-;0;-;0;-;\0y.dll;4;0;-;0;-;0;-;0;-;\n"), true, 1,
         "site\n"},
        {"NUL ends the support-site line", Bytes("si\0te\n") + sample, true, 1, "si"},
        {"515-character first line", longSite + "\n" + sample, true, 1, longSite},
        {"pieces of a long first line count as lines", longSite + sample, true, 1, longSite},
        {"piece after an entry is a line of its own", "site\n" + fullRead + sample, true, 2, "site\n"},
        {"piece holding only the line end is blank", "site\n" + fullRead + "\n", true, 1, "site\n"},
        {"piece starting with '#' is a comment", "site\n" + fullRead + "#tail\n", true, 1, "site\n"},
        {"piece too short to be an entry", "site\n" + fullRead + "tail\n", false, 0, ""},
        {"CR LF before the buffer ends is one character", std::string(514, 's') + "\r\n" + sample, true, 1,
         std::string(514, 's') + "\n"},
        {"lone CR is kept", "si\rte\r\r\n" + sample, true, 1, "si\rte\r\n"},
    };
    for (const FileCase &c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Load(c.bytes), c.loads);
        EXPECT_EQ(catalogue_.count, c.count);
        if (c.loads) {
            EXPECT_EQ(std::string(catalogue_.supportSite), c.supportSite);
        }
        ReleaseCatalogue(&catalogue_);
    }
}

// Loads `expected` and then `bytes`, which must give the same catalogue:
// the same support-site line and the same entries, field by field.
TEST_F(CatalogueTest, CrLfReadsExactlyLikeLf)
{
    const std::string lf = "site\n#comment\n\nA.dll;1;100;>=;200;<;0;-;0;-;\nb.dll;6;1;<;2;<=;3;>;4;>=\n"
                           "c.dll;5;5;<;6;<;7;<;8;<";
    std::string crlf;
    for (char c : lf) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }

    ExpectLoadsAlike(lf, crlf);
    ASSERT_EQ(catalogue_.count, 3u);
    EXPECT_EQ(catalogue_.entries[1].conditions[3].op, OP_NONE);  // ">=" plus the line end
    EXPECT_EQ(catalogue_.entries[2].conditions[3].op, OP_LESS);  // the file's last bytes
}

// DOS-era editors and COPY end a text file with a Ctrl-Z byte, and the
// target's text streams end the file there: nothing from it on is read.
TEST_F(CatalogueTest, CtrlZEndsTheFile)
{
    const std::string body = "site\n#comment\nA.dll;1;100;>=;200;<;0;-;0;-;\nb.dll;6;1;<;2;<=;3;>;4;>=";
    const std::string more = "c.dll;5;5;<;6;<;7;<;8;<;\n";
    const struct {
        const char *label;
        std::string expected;  // the same catalogue without the Ctrl-Z
        std::string bytes;
    } rows[] = {
        {"after the last line end", body + "\n", body + "\n\x1A"},
        {"after CR LF line ends", body + "\n", "site\r\n#comment\r\nA.dll;1;100;>=;200;<;0;-;0;-;\r\n"
                                              "b.dll;6;1;<;2;<=;3;>;4;>=\r\n\x1A"},
        // The last field carries no line end, so its operator counts.
        {"right after the last field", body, body + "\x1A"},
        {"between a carriage return and its line feed", body + "\r", body + "\r\x1A\n"},
        {"before further lines", body + "\n", body + "\n\x1A" + more + "garbage\n"},
        {"inside a line", body, body + "\x1A;junk;\n" + more},
        {"twice", body + "\n", body + "\n\x1A\x1A"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        ExpectLoadsAlike(row.expected, row.bytes);
        ASSERT_EQ(catalogue_.count, 2u);
        EXPECT_STREQ(catalogue_.entries[1].name, "b.dll");
        ReleaseCatalogue(&catalogue_);
    }

    // Ctrl-Z before any entry line leaves a catalogue without entries.
    EXPECT_FALSE(Load("\x1A" + body));
    EXPECT_FALSE(Load("site\n\x1A" + more));
    EXPECT_FALSE(Load("si\x1Ate\n" + more));
}

TEST_F(CatalogueTest, EntryFailureAfterGoodEntriesLeavesNothing)
{
    EXPECT_FALSE(Load("site\n" + std::string(kSample) + kSample + "x.dll;4\n" + kSample));
}

TEST_F(CatalogueTest, MissingFileFails)
{
    EXPECT_FALSE(LoadCatalogue(&catalogue_));
    EXPECT_EQ(catalogue_.entries, nullptr);
    EXPECT_EQ(catalogue_.count, 0u);
}

TEST_F(CatalogueTest, ReadErrorFails)
{
    // A folder opens as a stream here but every read fails.
    ASSERT_EQ(mkdir("DataFile.txt", 0700), 0);
    EXPECT_FALSE(LoadCatalogue(&catalogue_));
    EXPECT_EQ(catalogue_.entries, nullptr);
    EXPECT_EQ(catalogue_.count, 0u);
}

TEST_F(CatalogueTest, SameNameEntriesAreKeptInFileOrder)
{
    ASSERT_TRUE(Load("site\n"
                     "same.dll;1;1;<;0;-;0;-;0;-;\n"
                     "other.dll;4;0;-;0;-;0;-;0;-;\n"
                     "SAME.DLL;2;2;<;0;-;0;-;0;-;\n"
                     "Same.dll;4;3;<;0;-;0;-;0;-;\n"));
    ASSERT_EQ(catalogue_.count, 4u);
    EXPECT_EQ(catalogue_.entries[0].conditions[0].value, 1u);
    EXPECT_EQ(catalogue_.entries[2].conditions[0].value, 2u);
    EXPECT_EQ(catalogue_.entries[3].conditions[0].value, 3u);
    EXPECT_STREQ(catalogue_.entries[2].name, "SAME.DLL");  // kept as written

    EXPECT_EQ(Find("same.dll"), (std::vector<uint32_t>{0, 2, 3}));
    EXPECT_EQ(Find("sAmE.dLl"), (std::vector<uint32_t>{0, 2, 3}));
    EXPECT_EQ(Find("OTHER.dll"), (std::vector<uint32_t>{1}));
}

TEST_F(CatalogueTest, FindEntriesByName)
{
    ASSERT_TRUE(Load("site\n"
                     "x.dll;4;0;-;0;-;0;-;0;-;\n"
                     " x.dll;4;0;-;0;-;0;-;0;-;\n"
                     "\xC9t\xE9.dll;4;0;-;0;-;0;-;0;-;\n"
                     "[x].dll;4;0;-;0;-;0;-;0;-;\n" +
                     std::string(255, 'L') + ";4;0;-;0;-;0;-;0;-;\n"
                     // The ends of the letter ranges, and the characters
                     // just outside them.
                     "z.dll;4;0;-;0;-;0;-;0;-;\n"
                     "Z2.dll;4;0;-;0;-;0;-;0;-;\n"
                     "[.dll;4;0;-;0;-;0;-;0;-;\n"
                     "{.dll;4;0;-;0;-;0;-;0;-;\n"
                     "@.dll;4;0;-;0;-;0;-;0;-;\n"
                     "`.dll;4;0;-;0;-;0;-;0;-;\n"));
    const struct {
        const char *label;
        std::string name;
        std::vector<uint32_t> expected;
    } cases[] = {
        {"exact", "x.dll", {0}},
        {"upper case", "X.DLL", {0}},
        {"blank kept in the catalogue name", " X.dll", {1}},
        {"no blank trimming", "x.dll ", {}},
        {"prefix", "x.dl", {}},
        {"longer", "x.dlll", {}},
        {"empty", "", {}},
        {"non-ASCII letters are not folded", "\xC9t\xE9.DLL", {2}},
        {"only ASCII letters fold", "\xE9t\xE9.dll", {}},
        {"'[' is not a folded letter", "{x}.dll", {}},
        {"255-character name, other case", std::string(255, 'l'), {4}},
        {"longer than any path", std::string(300, 'l'), {}},
        {"'Z' finds 'z'", "Z.DLL", {5}},
        {"'z' finds 'Z'", "z2.dll", {6}},
        {"'[' is no letter", "[.dll", {7}},
        {"'{' is no letter", "{.dll", {8}},
        {"'@' is no letter", "@.dll", {9}},
        {"'`' is no letter", "`.dll", {10}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Find(c.name.c_str()), c.expected);
    }

    ReleaseCatalogue(&catalogue_);
    EXPECT_EQ(Find("x.dll"), std::vector<uint32_t>{});
    EXPECT_EQ(catalogue_.entries, nullptr);
}

// The file grows after the first pass counted its lines: the second pass
// may meet more entry lines than the array has slots. Every slot filled
// before the end fails the load, so that nothing is written past them.
TEST_F(CatalogueTest, FileGrowingBetweenThePasses)
{
    // Three lines, so three slots, of which one entry takes one.
    const std::string counted = std::string("site\n#comment\n") + kSample;
    std::string manyEntries;
    for (int i = 0; i < 50; ++i)
        manyEntries += kSample;
    const struct {
        const char *label;
        std::string growth;
        bool loads;
        uint32_t count;
    } rows[] = {
        {"an entry that still has a slot", std::string("#more\n") + kSample, true, 2},
        {"entries filling the last slot", std::string(kSample) + kSample, false, 0},
        {"entries past the last slot", manyEntries, false, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        g_growthBeforeRewind = row.growth;
        EXPECT_EQ(Load(counted), row.loads);
        EXPECT_EQ(g_growthBeforeRewind, "") << "the loader did not go back to the start";
        EXPECT_EQ(catalogue_.count, row.count);
        ReleaseCatalogue(&catalogue_);
    }
}

TEST_F(CatalogueTest, ManyNamesAreEachFound)
{
    // Enough names for many hash collisions, each given twice.
    std::string text = "site\n";
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 3000; ++i)
            text += "f" + std::to_string(i) + ".dll;4;" + std::to_string(i) + ";<;0;-;0;-;0;-;\n";
    ASSERT_TRUE(Load(text));
    ASSERT_EQ(catalogue_.count, 6000u);
    for (uint32_t i = 0; i < 3000; ++i) {
        std::string name = "F" + std::to_string(i) + ".DLL";
        ASSERT_EQ(Find(name.c_str()), (std::vector<uint32_t>{i, i + 3000})) << name;
    }
    EXPECT_EQ(Find("f3000.dll"), std::vector<uint32_t>{});
}

}  // namespace
