#pragma once
#include <cstdint>

// The system's version information, laid out as the platform's extended
// version record. The basic record is its first 148 bytes.
struct OsVersionRecord {
    uint32_t size;            // OS_VERSION_EXTENDED_SIZE or OS_VERSION_BASIC_SIZE
    uint32_t majorVersion;
    uint32_t minorVersion;
    uint32_t buildNumber;
    uint32_t platformId;      // 1: the 95 family, 2: the NT family
    char servicePackText[128];
    // the extended record only
    uint16_t servicePackMajor;
    uint16_t servicePackMinor;
    uint16_t suiteMask;
    uint8_t productType;
    uint8_t reserved;
};

enum {
    OS_VERSION_EXTENDED_SIZE = 156,
    OS_VERSION_BASIC_SIZE = 148
};

static_assert(sizeof(OsVersionRecord) == OS_VERSION_EXTENDED_SIZE, "extended record layout");

// Fills `record` in the form its size field names. False when the system
// does not accept that form (older systems know only the basic one); the
// record's fields other than the size may then be changed or not.
bool QueryOsVersion(OsVersionRecord *record);
