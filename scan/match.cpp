#include "scan/match.h"

#include <cstdio>
#include <cstring>

#include "app/report.h"
#include "app/resources/resource.h"
#include "scan/catalogue.h"

uint32_t ParseCompareOp(const char *field)
{
    // Exact texts only: a field that still carries a blank or the line end
    // is not an operator, and its condition takes no part.
    if (std::strcmp(field, "<") == 0)
        return OP_LESS;
    if (std::strcmp(field, "<=") == 0)
        return OP_LESS_EQUAL;
    if (std::strcmp(field, ">") == 0)
        return OP_GREATER;
    if (std::strcmp(field, ">=") == 0)
        return OP_GREATER_EQUAL;
    return OP_NONE;
}

bool KindComparesVersion(int32_t kind)
{
    return kind == KIND_PRODUCT_VERSION || kind == KIND_FILE_VERSION || kind == KIND_PRODUCT_VERSION_AND_SIZE ||
           kind == KIND_FILE_VERSION_AND_SIZE;
}

bool EvaluateConditions(const MatchCondition conditions[4], uint64_t version, uint64_t size)
{
    // Zero means "not given": with neither quantity there is nothing to judge.
    if (version == 0 && size == 0)
        return false;

    for (int i = 0; i < 4; ++i) {
        const MatchCondition &condition = conditions[i];
        if (condition.value == 0)
            continue;
        uint64_t quantity = i < 2 ? version : size;
        if (quantity == 0)
            continue;

        bool holds;
        switch (condition.op) {
        case OP_NONE:
            continue;
        case OP_LESS:
            holds = quantity < condition.value;
            break;
        case OP_LESS_EQUAL:
            holds = quantity <= condition.value;
            break;
        case OP_GREATER:
            holds = quantity > condition.value;
            break;
        case OP_GREATER_EQUAL:
            holds = quantity >= condition.value;
            break;
        default:
            // Not a code the parser gives: the entry cannot be trusted.
            return false;
        }
        if (!holds)
            return false;
    }
    return true;
}

FileQuantities ListedQuantities(const FoundEntry &found)
{
    FileQuantities quantities;
    quantities.version = VersionHalves{0, 0, 0, 0};
    quantities.size = static_cast<uint64_t>(found.sizeHigh) << 32 | found.sizeLow;
    return quantities;
}

void ReadFileVersion(const char *directory, size_t directoryLength, const char *name, VersionHalves *version)
{
    char path[PATH_SIZE];
    if (directoryLength >= sizeof path)
        return;
    int length = std::snprintf(path, sizeof path, "%.*s%s", static_cast<int>(directoryLength), directory, name);
    // A path that does not fit would name another file: read nothing.
    if (length < 0 || static_cast<size_t>(length) >= sizeof path)
        return;
    // All 0 when the file has no version information.
    ReadVersionHalves(path, version);
}

bool CheckQuantitiesAgainstEntry(const FileQuantities *quantities, uint32_t entryIndex,
                                 const Catalogue *catalogue)
{
    if (!catalogue->entries || entryIndex >= catalogue->count)
        return false;
    const CatalogueEntry &entry = catalogue->entries[entryIndex];

    const VersionHalves &halves = quantities->version;
    uint64_t productVersion = static_cast<uint64_t>(halves.productMS) << 32 | halves.productLS;
    uint64_t fileVersion = static_cast<uint64_t>(halves.fileMS) << 32 | halves.fileLS;

    uint64_t version;
    uint64_t size;
    switch (entry.kind) {
    case KIND_PRODUCT_VERSION:
        version = productVersion;
        size = 0;
        break;
    case KIND_FILE_VERSION:
        version = fileVersion;
        size = 0;
        break;
    case KIND_SIZE:
        version = 0;
        size = quantities->size;
        break;
    case KIND_PRODUCT_VERSION_AND_SIZE:
        version = productVersion;
        size = quantities->size;
        break;
    case KIND_FILE_VERSION_AND_SIZE:
        version = fileVersion;
        size = quantities->size;
        break;
    default:
        // Told once for every file judged against the entry; the scan goes on.
        ReportMessage(IDS_DATAFILE_CORRUPT, ICON_ERROR);
        return false;
    }

    return EvaluateConditions(entry.conditions, version, size);
}
