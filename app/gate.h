#pragma once
#include <cstdint>

// The start-up gate: the program runs only on the systems of the supported
// list and only when every processor is an "UlvaronChips" of the required
// family. Start-up shows strings 2 and 1 for a closed gate; the gate itself
// shows only string 6, when a processor affinity cannot be read or set.

// OS codes, from the platform identifier and the version numbers.
enum OsCode {
    OS_CODE_NT4 = 4,      // platform 2, major version 4 or lower
    OS_CODE_2000 = 5,     // platform 2, major version 5
    OS_CODE_95 = 15,      // platform 1, below 4.0 or exactly 4.0
    OS_CODE_98 = 10,      // platform 1, minor version 10
    OS_CODE_ME = 90,      // platform 1, minor version 90
    OS_CODE_OTHER = 100   // a platform neither 1 nor 2; refused
};

// The value that ends a list of supported codes. It equals OS_CODE_OTHER,
// which IdentifyOs refuses before it walks the list.
enum { OS_CODE_LIST_END = 100 };

// The family every processor must have.
enum { REQUIRED_PROCESSOR_FAMILY = 15 };

// IdentifyProcessor's pseudo-results, which read as families 3, 4 and 1.
enum {
    CPU_RESULT_NO_ALIGNMENT_FLAG = 0x300,  // flags bit 18 cannot be changed
    CPU_RESULT_NO_CPUID = 0x400,           // flags bit 21 cannot be changed
    CPU_RESULT_NOT_QUALIFIED = 0x100       // other vendor, or highest leaf exactly 1
};

// Reads the version information (the extended record, then the basic one),
// stores the OS code through `code` when the table gives one, and returns
// true when that code is in `supportedCodes`, a list ended by
// OS_CODE_LIST_END. False when neither record can be read, no row matches,
// the code is not listed, or the platform is another one (code 100).
// Shows nothing.
bool IdentifyOs(const uint32_t *supportedCodes, uint32_t *code);

// True when every processor visited has `requiredFamily`. For codes 15, 10
// and 90 only the processor the thread runs on is identified and no affinity
// is touched; otherwise the calling thread is bound to each processor of the
// system affinity mask in turn, and the number visited must also equal the
// number of processors the system reports (and not be 0: an empty system
// mask is refused). The thread is left bound to the last processor bound
// (the highest one after a full walk). Shows string 6 when the affinity
// mask cannot be read or the thread cannot be bound; shows nothing on the
// other failures.
bool CheckProcessors(uint32_t requiredFamily, uint32_t osCode);

// Identifies the processor the thread runs on: returns its signature (EAX of
// CPUID leaf 1), or one of the pseudo-results above, or the highest standard
// leaf itself when that is below 1 as a signed number. The flags register is
// as before when it returns.
uint32_t IdentifyProcessor();

// The family field of an identification result, bits 8 to 11.
inline uint32_t ProcessorFamily(uint32_t result)
{
    return (result >> 8) & 0xF;
}
