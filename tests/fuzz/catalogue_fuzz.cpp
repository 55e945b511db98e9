// Feeds arbitrary bytes to the catalogue loader as "DataFile.txt", then
// looks every loaded entry up by name and releases the catalogue. Beside
// the sanitizers it checks what a caller relies on: a failed load holds
// nothing, and every entry is found under its own name, in catalogue order.
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "scan/catalogue.h"

namespace {

char g_folder[] = "/tmp/catalogue_fuzz.XXXXXX";

void RemoveFolder()
{
    std::remove("DataFile.txt");
    rmdir(g_folder);
}

void Require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "catalogue_fuzz: %s\n", what);
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // The target works in a folder of its own; corpus folders and files
    // named relative to where it was started are made absolute first.
    for (int i = 1; i < *argc; ++i) {
        char resolved[PATH_MAX];
        if ((*argv)[i][0] != '-' && realpath((*argv)[i], resolved))
            (*argv)[i] = strdup(resolved);
    }
    if (!mkdtemp(g_folder) || chdir(g_folder) != 0) {
        std::perror("catalogue_fuzz: temporary folder");
        abort();
    }
    atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *file = std::fopen("DataFile.txt", "wb");
    Require(file != 0, "cannot write DataFile.txt");
    Require(std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0, "cannot write DataFile.txt");

    Catalogue catalogue;
    std::memset(&catalogue, 0, sizeof catalogue);
    if (!LoadCatalogue(&catalogue)) {
        Require(!catalogue.entries && catalogue.count == 0 && !catalogue.index, "a failed load holds entries");
        ReleaseCatalogue(&catalogue);
        return 0;
    }

    Require(catalogue.entries && catalogue.count >= 1, "a successful load without entries");
    Require(std::memchr(catalogue.supportSite, '\0', sizeof catalogue.supportSite) != 0,
            "support-site line unterminated");
    for (uint32_t i = 0; i < catalogue.count; ++i) {
        const CatalogueEntry &entry = catalogue.entries[i];
        Require(std::memchr(entry.name, '\0', sizeof entry.name) != 0, "name unterminated");
        Require(entry.name[0] != '\0', "empty name");

        // Swapping the case of the ASCII letters must not change the result.
        char swapped[sizeof entry.name];
        std::memcpy(swapped, entry.name, sizeof swapped);
        for (char *p = swapped; *p; ++p) {
            if (*p >= 'a' && *p <= 'z')
                *p = static_cast<char>(*p - 'a' + 'A');
            else if (*p >= 'A' && *p <= 'Z')
                *p = static_cast<char>(*p - 'A' + 'a');
        }
        const uint32_t *indices = 0;
        uint32_t found = FindEntriesByName(&catalogue, swapped, &indices);
        bool listed = false;
        for (uint32_t k = 0; k < found; ++k) {
            Require(indices[k] < catalogue.count, "index outside the catalogue");
            Require(k == 0 || indices[k - 1] < indices[k], "entries not in catalogue order");
            Require(strcasecmp(catalogue.entries[indices[k]].name, entry.name) == 0, "entry of another name");
            listed = listed || indices[k] == i;
        }
        Require(listed, "entry not found under its own name");
    }

    ReleaseCatalogue(&catalogue);
    Require(!catalogue.entries && catalogue.count == 0 && !catalogue.index, "release left entries");
    return 0;
}
