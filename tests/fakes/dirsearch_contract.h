#pragma once
// What platform/dirsearch.h promises, as one table of cases that the real
// search (under Wine) and the in-memory one both run, so that the two
// cannot drift. Each runner lays out the same tree in its own way:
//   N:  a drive the cases fill, under N:\contract
//   M:  a drive whose root holds nothing at all
//   Q:  no drive
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/dirsearch.h"

// How a runner lays out files and folders on its platform.
class DirSearchTreeBuilder {
public:
    virtual ~DirSearchTreeBuilder() {}
    virtual void AddDirectory(const std::string &path) = 0;
    virtual void AddFile(const std::string &path, uint64_t size) = 0;
};

namespace dirsearch_contract {

struct Listed {
    bool isDirectory;
    uint64_t size;
};

// Every entry of one listing by name (the order is the platform's), or
// none when the listing cannot be opened. Next after the end stays false.
inline std::map<std::string, Listed> ListAll(const char *pattern)
{
    std::map<std::string, Listed> entries;
    FoundEntry entry;
    SearchFailure failure = SEARCH_OTHER;
    DirSearch *search = DirSearchFirst(pattern, &entry, &failure);
    EXPECT_TRUE(search) << pattern << " failed with " << failure;
    if (!search)
        return entries;
    do {
        entries[entry.name] = Listed{entry.isDirectory, static_cast<uint64_t>(entry.sizeHigh) << 32 | entry.sizeLow};
    } while (DirSearchNext(search, &entry));
    EXPECT_FALSE(DirSearchNext(search, &entry)) << pattern << ": an entry after the end";
    DirSearchClose(search);
    return entries;
}

}  // namespace dirsearch_contract

inline void RunDirSearchContract(DirSearchTreeBuilder &tree)
{
    using dirsearch_contract::ListAll;
    using dirsearch_contract::Listed;
    const uint64_t kBig = (5ull << 30) + 3;  // the high half is 1
    tree.AddDirectory("N:\\contract");
    tree.AddDirectory("N:\\contract\\Inner");
    tree.AddFile("N:\\contract\\seven.dll", 7);
    tree.AddFile("N:\\contract\\Empty.TXT", 0);
    tree.AddFile("N:\\contract\\big.bin", kBig);

    // Names as created, "." and ".." below a root, both size halves; the
    // pattern's letter case does not matter.
    for (const char *pattern : {"N:\\contract\\*", "n:\\CONTRACT\\*"}) {
        SCOPED_TRACE(pattern);
        std::map<std::string, Listed> entries = ListAll(pattern);
        std::vector<std::string> names;
        for (const auto &named : entries)
            names.push_back(named.first);
        EXPECT_EQ(names, (std::vector<std::string>{".", "..", "Empty.TXT", "Inner", "big.bin", "seven.dll"}));
        EXPECT_TRUE(entries["."].isDirectory);
        EXPECT_TRUE(entries[".."].isDirectory);
        EXPECT_TRUE(entries["Inner"].isDirectory);
        EXPECT_FALSE(entries["seven.dll"].isDirectory);
        EXPECT_EQ(entries["seven.dll"].size, 7u);
        EXPECT_EQ(entries["Empty.TXT"].size, 0u);
        EXPECT_EQ(entries["big.bin"].size, kBig);
    }

    // A folder with nothing in it still lists its dot entries.
    std::map<std::string, Listed> inner = ListAll("N:\\contract\\inner\\*");
    EXPECT_EQ(inner.size(), 2u);
    EXPECT_EQ(inner.count("."), 1u);
    EXPECT_EQ(inner.count(".."), 1u);

    // The four tolerated failures and the others. A root with no entries at
    // all cannot be listed; a letter without a drive reads as a missing path
    // or drive, either of which means nothing to list.
    const struct {
        const char *pattern;
        SearchFailure failure;
        SearchFailure orFailure;
    } failing[] = {
        {"M:\\*", SEARCH_OTHER, SEARCH_OTHER},
        {"N:\\no such folder\\*", SEARCH_PATH_NOT_FOUND, SEARCH_PATH_NOT_FOUND},
        {"N:\\contract\\missing\\deeper\\*", SEARCH_PATH_NOT_FOUND, SEARCH_PATH_NOT_FOUND},
        {"Q:\\*", SEARCH_PATH_NOT_FOUND, SEARCH_INVALID_DRIVE},
    };
    for (const auto &row : failing) {
        SCOPED_TRACE(row.pattern);
        FoundEntry entry;
        SearchFailure failure = static_cast<SearchFailure>(-1);
        EXPECT_EQ(DirSearchFirst(row.pattern, &entry, &failure), nullptr);
        EXPECT_TRUE(failure == row.failure || failure == row.orFailure) << failure;
    }

    // Closing no search does nothing.
    DirSearchClose(0);
}
