#include "scan/match.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/report.h"
#include "scan/catalogue.h"
#include "tests/fakes/fake_filesystem.h"
#include "tests/fakes/fake_msgbox.h"

namespace {

TEST(ParseCompareOp, WholeFieldMustEqualAnOperator)
{
    const struct {
        const char *field;
        uint32_t op;
    } cases[] = {
        {"<", OP_LESS},  {"<=", OP_LESS_EQUAL}, {">", OP_GREATER}, {">=", OP_GREATER_EQUAL},
        {"", OP_NONE},   {"-", OP_NONE},        {"=", OP_NONE},    {"=<", OP_NONE},
        {"<<", OP_NONE}, {" <", OP_NONE},       {"<= ", OP_NONE},  {">=\n", OP_NONE},
        {"<\r", OP_NONE}, {"<>", OP_NONE},      {"<=<", OP_NONE},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ParseCompareOp(c.field), c.op) << "field \"" << c.field << "\"";
}

const uint64_t kHigh = 1ull << 32;

struct ConditionCase {
    const char *label;
    MatchCondition conditions[4];
    uint64_t version;
    uint64_t size;
    bool holds;
};

TEST(EvaluateConditions, Rules)
{
    const MatchCondition none = {0, OP_NONE};
    const ConditionCase cases[] = {
        {"both quantities 0, nothing given", {none, none, none, none}, 0, 0, false},
        {"both quantities 0, conditions that would hold", {{1, OP_GREATER_EQUAL}, none, {1, OP_LESS}, none}, 0, 0,
         false},
        {"version only, no condition", {none, none, none, none}, 5, 0, true},
        {"size only, no condition", {none, none, none, none}, 0, 5, true},
        {"operator 0 with a value takes no part", {{1, OP_NONE}, {1, OP_NONE}, {1, OP_NONE}, {1, OP_NONE}}, 9, 9,
         true},
        {"value 0 takes no part", {{0, OP_LESS}, {0, OP_GREATER}, {0, OP_LESS}, {0, OP_GREATER}}, 9, 9, true},
        {"version 0 skips conditions 1 and 2", {{5, OP_GREATER}, {5, OP_GREATER}, none, none}, 0, 9, true},
        {"size 0 skips conditions 3 and 4", {none, none, {5, OP_GREATER}, {5, OP_GREATER}}, 9, 0, true},
        {"conditions 1 and 2 judge the version", {{5, OP_LESS}, none, none, none}, 9, 1, false},
        {"conditions 3 and 4 judge the size", {none, none, none, {5, OP_LESS}}, 1, 9, false},
        {"operator above 4 fails", {{5, 5}, none, none, none}, 9, 9, false},
        {"operator above 4 in condition 4 fails", {none, none, none, {5, 0xFFFFFFFF}}, 9, 9, false},
        {"operator above 4 with value 0 is skipped", {{0, 5}, none, none, none}, 9, 9, true},
        {"operator above 4 on a quantity 0 is skipped", {none, none, {5, 7}, none}, 9, 0, true},
        {"equal: < fails", {{7, OP_LESS}, none, none, none}, 7, 0, false},
        {"equal: <= holds", {{7, OP_LESS_EQUAL}, none, none, none}, 7, 0, true},
        {"equal: > fails", {none, none, {7, OP_GREATER}, none}, 0, 7, false},
        {"equal: >= holds", {none, none, {7, OP_GREATER_EQUAL}, none}, 0, 7, true},
        {"low halves decide: 1.5 < 1.6", {{kHigh | 6, OP_LESS}, none, none, none}, kHigh | 5, 0, true},
        {"low halves decide: 1.5 < 1.4", {{kHigh | 4, OP_LESS}, none, none, none}, kHigh | 5, 0, false},
        {"high halves decide over low: 1.ffffffff < 2.0", {{2 * kHigh, OP_LESS}, none, none, none},
         kHigh | 0xFFFFFFFF, 0, true},
        {"high halves decide over low: 2.0 > 1.ffffffff", {{kHigh | 0xFFFFFFFF, OP_GREATER}, none, none, none},
         2 * kHigh, 0, true},
        {"compared unsigned", {{UINT64_MAX, OP_LESS}, {1ull << 63, OP_GREATER_EQUAL}, none, none}, 1ull << 63, 0,
         true},
        {"all four must hold", {{1, OP_GREATER}, {10, OP_LESS}, {1, OP_GREATER}, {3, OP_LESS}}, 5, 5, false},
        {"all four hold", {{1, OP_GREATER}, {10, OP_LESS}, {1, OP_GREATER}, {6, OP_LESS}}, 5, 5, true},
        {"range A <= v < B, below", {{100, OP_GREATER_EQUAL}, {200, OP_LESS}, none, none}, 99, 1, false},
        {"range A <= v < B, at A", {{100, OP_GREATER_EQUAL}, {200, OP_LESS}, none, none}, 100, 1, true},
        {"range A <= v < B, at B", {{100, OP_GREATER_EQUAL}, {200, OP_LESS}, none, none}, 200, 1, false},
    };
    for (const ConditionCase &c : cases)
        EXPECT_EQ(EvaluateConditions(c.conditions, c.version, c.size), c.holds) << c.label;
}

// A catalogue of one entry, built in memory.
class MatchTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::memset(&entry_, 0, sizeof entry_);
        std::strcpy(entry_.name, "f.dll");
        catalogue_.entries = &entry_;
        catalogue_.count = 1;
        catalogue_.index = nullptr;
        ClearRecordedMessages();
        FakeFsReset();
    }

    void TearDown() override
    {
        ClearRecordedMessages();
        FakeFsReset();
    }

    // Conditions that hold only for exactly this version and this size.
    void RequireExactly(uint64_t version, uint64_t size)
    {
        entry_.conditions[0] = {version, OP_GREATER_EQUAL};
        entry_.conditions[1] = {version, OP_LESS_EQUAL};
        entry_.conditions[2] = {size, OP_GREATER_EQUAL};
        entry_.conditions[3] = {size, OP_LESS_EQUAL};
    }

    CatalogueEntry entry_;
    Catalogue catalogue_;
};

const uint64_t kProduct = 0x0001000200030004ull;
const uint64_t kFile = 0x0005000600070008ull;
const FileQuantities kQuantities = {{0x00050006, 0x00070008, 0x00010002, 0x00030004}, 1000};

TEST_F(MatchTest, KindChoosesTheQuantities)
{
    const struct {
        int32_t kind;
        uint64_t version;  // the version the conditions require
        uint64_t size;     // the size they require
        bool holds;
    } cases[] = {
        {KIND_PRODUCT_VERSION, kProduct, 5, true},  // size taken as 0: its conditions take no part
        {KIND_PRODUCT_VERSION, kFile, 1000, false},
        {KIND_FILE_VERSION, kFile, 5, true},
        {KIND_FILE_VERSION, kProduct, 1000, false},
        {KIND_SIZE, 5, 1000, true},  // version taken as 0
        {KIND_SIZE, kProduct, 999, false},
        {KIND_PRODUCT_VERSION_AND_SIZE, kProduct, 1000, true},
        {KIND_PRODUCT_VERSION_AND_SIZE, kFile, 1000, false},
        {KIND_PRODUCT_VERSION_AND_SIZE, kProduct, 999, false},
        {KIND_FILE_VERSION_AND_SIZE, kFile, 1000, true},
        {KIND_FILE_VERSION_AND_SIZE, kProduct, 1000, false},
        {KIND_FILE_VERSION_AND_SIZE, kFile, 1001, false},
    };
    for (const auto &c : cases) {
        entry_.kind = c.kind;
        RequireExactly(c.version, c.size);
        EXPECT_EQ(CheckQuantitiesAgainstEntry(&kQuantities, 0, &catalogue_), c.holds)
            << "kind " << c.kind << ", version " << c.version << ", size " << c.size;
    }
    EXPECT_TRUE(RecordedMessages().empty());
}

TEST_F(MatchTest, NoVersionInformation)
{
    const FileQuantities unversioned = {{0, 0, 0, 0}, 1000};
    const FileQuantities empty = {{0, 0, 0, 0}, 0};
    // Conditions that would hold for any quantity they judged.
    entry_.conditions[0] = {1, OP_GREATER_EQUAL};
    entry_.conditions[2] = {1, OP_GREATER_EQUAL};

    entry_.kind = KIND_PRODUCT_VERSION;
    EXPECT_FALSE(CheckQuantitiesAgainstEntry(&unversioned, 0, &catalogue_));
    entry_.kind = KIND_FILE_VERSION;
    EXPECT_FALSE(CheckQuantitiesAgainstEntry(&unversioned, 0, &catalogue_));
    entry_.kind = KIND_FILE_VERSION_AND_SIZE;
    EXPECT_TRUE(CheckQuantitiesAgainstEntry(&unversioned, 0, &catalogue_));
    entry_.kind = KIND_SIZE;
    EXPECT_FALSE(CheckQuantitiesAgainstEntry(&empty, 0, &catalogue_));
    EXPECT_TRUE(RecordedMessages().empty());
}

TEST_F(MatchTest, InvalidKindIsReportedEveryTime)
{
    for (int32_t kind : {0, 3, 7, -1, 0x7FFFFFFF}) {
        SCOPED_TRACE(kind);
        ClearRecordedMessages();
        entry_.kind = kind;
        // Every condition would hold: an invalid kind must not be evaluated.
        EXPECT_FALSE(CheckQuantitiesAgainstEntry(&kQuantities, 0, &catalogue_));
        EXPECT_FALSE(CheckQuantitiesAgainstEntry(&kQuantities, 0, &catalogue_));
        ASSERT_EQ(RecordedMessages().size(), 2u);
        for (const RecordedMessage &m : RecordedMessages()) {
            EXPECT_EQ(m.stringId, 35u);
            EXPECT_EQ(m.icon, static_cast<unsigned>(ICON_ERROR));
            EXPECT_FALSE(m.hasCaption);
        }
    }
}

TEST_F(MatchTest, IndexOutsideTheCatalogueNeverHolds)
{
    entry_.kind = KIND_SIZE;
    EXPECT_TRUE(CheckQuantitiesAgainstEntry(&kQuantities, 0, &catalogue_));
    EXPECT_FALSE(CheckQuantitiesAgainstEntry(&kQuantities, 1, &catalogue_));
}

FoundEntry MakeFound(const char *name, uint32_t sizeHigh, uint32_t sizeLow)
{
    FoundEntry found;
    std::memset(&found, 0, sizeof found);
    found.sizeHigh = sizeHigh;
    found.sizeLow = sizeLow;
    std::strcpy(found.name, name);
    return found;
}

// Both size halves, a file of 4 GiB and more included; no version until
// one is read.
TEST(ListedQuantities, TakeBothSizeHalvesAndNoVersion)
{
    const struct {
        uint32_t high, low;
        uint64_t size;
    } rows[] = {{5, 7, 0x500000007ull}, {1, 0, 0x100000000ull}, {0, 0xFFFFFFFFu, 0xFFFFFFFFull}, {0, 0, 0}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.size);
        const FileQuantities quantities = ListedQuantities(MakeFound("F.dll", row.high, row.low));
        EXPECT_EQ(quantities.size, row.size);
        EXPECT_EQ(quantities.version.fileMS | quantities.version.fileLS | quantities.version.productMS |
                      quantities.version.productLS,
                  0u);
    }
}

TEST_F(MatchTest, ReadFileVersionReadsTheNamedFileInTheDirectory)
{
    const VersionHalves halves = {1, 2, 3, 4};
    FakeFsAddDrive('C', "");
    FakeFsAddFile("C:\\dir\\F.dll", 0x500000007ull, halves);

    VersionHalves version = {0, 0, 0, 0};
    // Only the first 7 characters, "C:\dir\", are the directory.
    ReadFileVersion("C:\\dir\\*x*", 7, "F.dll", &version);
    EXPECT_EQ(FakeFsVersionReads("C:\\dir\\F.dll"), 1);
    EXPECT_EQ(version.fileMS, 1u);
    EXPECT_EQ(version.fileLS, 2u);
    EXPECT_EQ(version.productMS, 3u);
    EXPECT_EQ(version.productLS, 4u);
}

TEST_F(MatchTest, ReadFileVersionWithoutVersionGivesZero)
{
    FakeFsAddDrive('C', "");
    FakeFsAddFile("C:\\plain.txt", 12);
    VersionHalves version;
    std::memset(&version, 0xAB, sizeof version);
    ReadFileVersion("C:\\", 3, "plain.txt", &version);
    EXPECT_EQ(FakeFsVersionReads("C:\\plain.txt"), 1);
    EXPECT_EQ(version.fileMS | version.fileLS | version.productMS | version.productLS, 0u);
}

TEST_F(MatchTest, PathThatDoesNotFitIsNotRead)
{
    // Directory and name together: 259 characters fit the 260 buffer, 260 do not.
    const std::string directory = "C:\\" + std::string(240, 'd') + "\\";  // 244 characters
    const std::string fits(15, 'n');
    const std::string tooLong(16, 'n');

    VersionHalves version = {0, 0, 0, 0};
    ReadFileVersion(directory.c_str(), directory.size(), fits.c_str(), &version);
    EXPECT_EQ(FakeFsVersionReads((directory + fits).c_str()), 1);

    VersionHalves untouched = {9, 9, 9, 9};
    ReadFileVersion(directory.c_str(), directory.size(), tooLong.c_str(), &untouched);
    EXPECT_EQ(FakeFsVersionReads(), 1);
    EXPECT_EQ(untouched.fileMS & untouched.fileLS & untouched.productMS & untouched.productLS, 9u);
}

}  // namespace
