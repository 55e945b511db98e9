#pragma once
#include <cstdint>
#include "platform/dirsearch.h"
#include "platform/fileversion.h"

struct Catalogue;

// Operator of a condition, parsed from its field.
enum CompareOp {
    OP_NONE = 0,           // any other text: the condition takes no part
    OP_LESS = 1,           // "<"
    OP_LESS_EQUAL = 2,     // "<="
    OP_GREATER = 3,        // ">"
    OP_GREATER_EQUAL = 4   // ">="
};

// Which quantities of a file an entry compares; any other number is invalid.
enum CheckKind {
    KIND_PRODUCT_VERSION = 1,
    KIND_FILE_VERSION = 2,
    KIND_SIZE = 4,
    KIND_PRODUCT_VERSION_AND_SIZE = 5,
    KIND_FILE_VERSION_AND_SIZE = 6
};

// Conditions 1 and 2 of an entry apply to the version, 3 and 4 to the size.
// A value of 0 means that the condition takes no part.
struct MatchCondition {
    uint64_t value;
    uint32_t op;  // a CompareOp code as parsed; kept as read
};

// True for the kinds that compare a version (1, 2, 5 and 6): only these
// need the file's version resource read.
bool KindComparesVersion(int32_t kind);

// The whole field must equal one operator text exactly; 0 otherwise.
uint32_t ParseCompareOp(const char *field);

// True when the conditions hold for a file of this version and size; false
// when both quantities are 0. Pure.
bool EvaluateConditions(const MatchCondition conditions[4], uint64_t version, uint64_t size);

// What the match rules need to know of one found file: read once, however
// many catalogue entries name it.
struct FileQuantities {
    VersionHalves version;  // all 0 when the file has no version information
    uint64_t size;
};

// Reads the version halves of the file `found` in the directory of
// `searchPattern` (the pattern up to its first "*"). A path that does not
// fit 260 characters is not read and counts as having no version.
void ReadFileQuantities(const char *searchPattern, const FoundEntry *found, FileQuantities *quantities);

// Judges a file's quantities against catalogue entry `entryIndex`: true when
// the entry holds (the file needs an update). An invalid kind shows string
// 35 and gives false.
bool CheckQuantitiesAgainstEntry(const FileQuantities *quantities, uint32_t entryIndex,
                                 const Catalogue *catalogue);

// ReadFileQuantities followed by CheckQuantitiesAgainstEntry.
bool CheckFileAgainstEntry(const char *searchPattern, const FoundEntry *found, uint32_t entryIndex,
                           const Catalogue *catalogue);
