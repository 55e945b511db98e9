#pragma once
#include <cstdint>

// The four halves of a file's product and file version, from its fixed
// version information.
struct VersionHalves {
    uint32_t fileMS, fileLS;
    uint32_t productMS, productLS;
};

// Reads the version halves of the file at `path`. Returns false, with all
// four halves 0, when the file has no version resource, or one that cannot
// be read or holds no fixed version information.
bool ReadVersionHalves(const char *path, VersionHalves *halves);
