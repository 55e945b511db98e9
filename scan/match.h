#pragma once
#include <cstddef>
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

// What the match rules need to know of one found file: taken once, however
// many catalogue entries name it.
struct FileQuantities {
    VersionHalves version;  // all 0 when the file has no version information
    uint64_t size;
};

// The quantities of `found` as its listing gives them: its 64-bit size, and
// a version of all 0 until ReadFileVersion reads the file's own.
FileQuantities ListedQuantities(const FoundEntry &found);

// Reads the version halves of the file `name` in `directory` (a path with
// its final backslash, of which the first `directoryLength` characters are
// taken) into `version`: all 0 when the file has none. A path that does not
// fit PATH_SIZE is not read, and `version` is left as it was.
void ReadFileVersion(const char *directory, size_t directoryLength, const char *name, VersionHalves *version);

// Judges a file's quantities against catalogue entry `entryIndex`: true when
// the entry holds (the file needs an update). An invalid kind shows string
// 35 and gives false.
bool CheckQuantitiesAgainstEntry(const FileQuantities *quantities, uint32_t entryIndex,
                                 const Catalogue *catalogue);
