// Version resources read through the real version services, from small
// libraries built beside this test (see fixtures/): one with a known
// version, one without a resource, and two whose resource holds no usable
// fixed information.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "platform/dirsearch.h"
#include "platform/fileversion.h"
#include "scan/catalogue.h"
#include "scan/match.h"

namespace {
const char kDir[] = "C:\\brindle\\";

std::string InDir(const char *name)
{
    return std::string(kDir) + name;
}

struct HalvesCase {
    const char *file;
    bool found;
    VersionHalves halves;
};

const HalvesCase kHalvesCases[] = {
    {"fixture_versioned.dll", true, {0x00010002, 0x00030004, 0x00050006, 0x00070008}},
    {"fixture_plain.dll", false, {0, 0, 0, 0}},
    {"fixture_nofixed.dll", false, {0, 0, 0, 0}},
    {"fixture_badsignature.dll", false, {0, 0, 0, 0}},
    {"no_such_file.dll", false, {0, 0, 0, 0}},
};

TEST(ReadVersionHalves, ReadsTheFixedInformationOrGivesAllZero)
{
    for (const HalvesCase &c : kHalvesCases) {
        SCOPED_TRACE(c.file);
        VersionHalves halves;
        std::memset(&halves, 0xAB, sizeof halves);
        EXPECT_EQ(ReadVersionHalves(InDir(c.file).c_str(), &halves), c.found);
        EXPECT_EQ(halves.fileMS, c.halves.fileMS);
        EXPECT_EQ(halves.fileLS, c.halves.fileLS);
        EXPECT_EQ(halves.productMS, c.halves.productMS);
        EXPECT_EQ(halves.productLS, c.halves.productLS);
    }
}

uint64_t Version(unsigned a, unsigned b, unsigned c, unsigned d)
{
    return (uint64_t(a) << 48) | (uint64_t(b) << 32) | (uint64_t(c) << 16) | d;
}

FoundEntry Find(const char *name)
{
    FoundEntry entry;
    std::memset(&entry, 0, sizeof entry);
    SearchFailure failure;
    DirSearch *search = DirSearchFirst(InDir(name).c_str(), &entry, &failure);
    EXPECT_TRUE(search) << name;
    if (search)
        DirSearchClose(search);
    return entry;
}

struct EntryCase {
    const char *label;
    const char *file;
    int32_t kind;
    MatchCondition conditions[4];
    bool holds;
};

TEST(MatchRules, JudgeTheRealFilesVersionAndSize)
{
    const uint64_t file = Version(1, 2, 3, 4);
    const uint64_t product = Version(5, 6, 7, 8);
    const uint64_t size = Find("fixture_versioned.dll").sizeLow;
    ASSERT_GT(size, 0u);
    const EntryCase cases[] = {
        {"file version in [1.2.3.4, 1.2.3.5)", "fixture_versioned.dll", KIND_FILE_VERSION,
         {{file, OP_GREATER_EQUAL}, {file + 1, OP_LESS}, {0, 0}, {0, 0}}, true},
        {"file version range does not take the product version", "fixture_versioned.dll",
         KIND_PRODUCT_VERSION, {{file, OP_GREATER_EQUAL}, {file + 1, OP_LESS}, {0, 0}, {0, 0}}, false},
        {"product version exactly", "fixture_versioned.dll", KIND_PRODUCT_VERSION,
         {{product, OP_LESS_EQUAL}, {product, OP_GREATER_EQUAL}, {0, 0}, {0, 0}}, true},
        {"product version below its value fails", "fixture_versioned.dll", KIND_PRODUCT_VERSION,
         {{product, OP_LESS}, {0, 0}, {0, 0}, {0, 0}}, false},
        {"file version and the size from the listing", "fixture_versioned.dll",
         KIND_FILE_VERSION_AND_SIZE, {{file, OP_LESS_EQUAL}, {0, 0}, {size, OP_LESS_EQUAL}, {size, OP_GREATER_EQUAL}},
         true},
        {"size one byte too small", "fixture_versioned.dll", KIND_SIZE,
         {{0, 0}, {0, 0}, {size - 1, OP_LESS_EQUAL}, {0, 0}}, false},
        {"no version resource: a version kind does not hold", "fixture_plain.dll", KIND_FILE_VERSION,
         {{1, OP_GREATER}, {0, 0}, {0, 0}, {0, 0}}, false},
        {"no version resource: version with size holds on the size alone", "fixture_plain.dll",
         KIND_PRODUCT_VERSION_AND_SIZE, {{file, OP_GREATER_EQUAL}, {0, 0}, {0, 0}, {0, 0}}, true},
        {"no fixed information counts as no version", "fixture_nofixed.dll", KIND_FILE_VERSION,
         {{0, 0}, {0, 0}, {0, 0}, {0, 0}}, false},
    };
    for (const EntryCase &c : cases) {
        SCOPED_TRACE(c.label);
        CatalogueEntry entry;
        std::memset(&entry, 0, sizeof entry);
        std::strcpy(entry.name, c.file);
        entry.kind = c.kind;
        std::memcpy(entry.conditions, c.conditions, sizeof entry.conditions);
        Catalogue catalogue;
        std::memset(&catalogue, 0, sizeof catalogue);
        catalogue.entries = &entry;
        catalogue.count = 1;

        // As the scan judges a file: the listing's quantities, the version
        // read from the file on disk.
        FoundEntry found = Find(c.file);
        FileQuantities quantities = ListedQuantities(found);
        ReadFileVersion("C:\\brindle\\", 11, found.name, &quantities.version);
        EXPECT_EQ(CheckQuantitiesAgainstEntry(&quantities, 0, &catalogue), c.holds);
    }
}
}  // namespace
