#include "app/gate.h"

#include <cstring>

#include "app/report.h"
#include "app/resources/resource.h"
#include "platform/osversion.h"
#include "platform/processor.h"

namespace {

enum {
    PLATFORM_WIN32_WINDOWS = 1,
    PLATFORM_WIN32_NT = 2
};

enum : uint32_t {
    FLAG_ALIGNMENT_CHECK = 0x40000,  // bit 18: missing before the 486
    FLAG_IDENTIFICATION = 0x200000   // bit 21: changeable only where CPUID exists
};

// Compared as 12 bytes; the terminator takes no part.
const char kRequiredVendor[] = "UlvaronChips";
enum { VENDOR_SIZE = 12 };
static_assert(sizeof kRequiredVendor == VENDOR_SIZE + 1, "twelve vendor bytes");

bool IsWindows95Family(uint32_t osCode)
{
    return osCode == OS_CODE_95 || osCode == OS_CODE_98 || osCode == OS_CODE_ME;
}

// Flips `bit` and reads the flags back; true when the processor kept it.
bool FlagBitChanges(uint32_t saved, uint32_t bit)
{
    WriteFlagsRegister(saved ^ bit);
    return ReadFlagsRegister() != saved;
}

bool IdentifiesAs(uint32_t requiredFamily)
{
    return ProcessorFamily(IdentifyProcessor()) == requiredFamily;
}

// The code table alone, tried from the top with unsigned comparisons.
// Stores the code and returns true when a row matches (code 100 included);
// returns false, leaving *code untouched, when none does (platform 1 above
// 4.0 with a minor version other than 10 and 90; platform 2 from major 6).
bool OsCodeFor(uint32_t platformId, uint32_t major, uint32_t minor, uint32_t *code)
{
    if (platformId == PLATFORM_WIN32_WINDOWS) {
        if (major < 4 || (major == 4 && minor == 0))
            *code = OS_CODE_95;
        else if (minor == 10)
            *code = OS_CODE_98;
        else if (minor == 90)
            *code = OS_CODE_ME;
        else
            return false;
        return true;
    }
    if (platformId == PLATFORM_WIN32_NT) {
        if (major <= 4)
            *code = OS_CODE_NT4;
        else if (major == 5)
            *code = OS_CODE_2000;
        else
            return false;
        return true;
    }
    *code = OS_CODE_OTHER;
    return true;
}

}  // namespace

bool IdentifyOs(const uint32_t *supportedCodes, uint32_t *code)
{
    OsVersionRecord record;
    std::memset(&record, 0, sizeof record);
    record.size = OS_VERSION_EXTENDED_SIZE;
    if (!QueryOsVersion(&record)) {
        // Systems before NT 4 SP6 know only the basic record.
        record.size = OS_VERSION_BASIC_SIZE;
        if (!QueryOsVersion(&record))
            return false;
    }

    if (!OsCodeFor(record.platformId, record.majorVersion, record.minorVersion, code))
        return false;

    // The marker is tested before an element is compared, so code 100, the
    // marker's own value, is never found: another platform is refused.
    for (const uint32_t *p = supportedCodes; *p != OS_CODE_LIST_END; ++p) {
        if (*p == *code)
            return true;
    }
    return false;
}

bool CheckProcessors(uint32_t requiredFamily, uint32_t osCode)
{
    // The 95 family runs on one processor only.
    if (IsWindows95Family(osCode))
        return IdentifiesAs(requiredFamily);

    AffinityMask processMask = 0;
    AffinityMask systemMask = 0;
    if (!ReadProcessAffinity(&processMask, &systemMask)) {
        ReportMessage(IDS_PROCESSOR_MASK, ICON_ERROR);
        return false;
    }
    uint32_t reported = ReportedProcessorCount();

    // The probe is as wide as the mask and the loop ends as soon as no bit
    // is left, so it is never shifted out of the mask's width.
    AffinityMask remaining = systemMask;
    AffinityMask probe = 1;
    uint32_t visited = 0;
    while (remaining != 0) {
        if (remaining & probe) {
            remaining &= ~probe;
            // Binding moves the thread onto that processor, so the
            // identification that follows runs there. The earlier
            // affinity is deliberately not restored.
            if (!BindCurrentThread(probe)) {
                ReportMessage(IDS_PROCESSOR_MASK, ICON_ERROR);
                return false;
            }
            if (!IdentifiesAs(requiredFamily))
                return false;
            ++visited;
        }
        probe <<= 1;
    }
    // A walk that identified nothing has not shown a single processor to be
    // of the family, whatever count the system reports.
    return visited != 0 && visited == reported;
}

uint32_t IdentifyProcessor()
{
    uint32_t saved = ReadFlagsRegister();
    uint32_t found;

    if (!FlagBitChanges(saved, FLAG_ALIGNMENT_CHECK)) {
        found = CPU_RESULT_NO_ALIGNMENT_FLAG;
    } else if (!FlagBitChanges(saved, FLAG_IDENTIFICATION)) {
        found = CPU_RESULT_NO_CPUID;
    } else {
        CpuidRegisters leaf0;
        ExecuteCpuid(0, &leaf0);
        char vendor[VENDOR_SIZE];
        std::memcpy(vendor + 0, &leaf0.ebx, 4);
        std::memcpy(vendor + 4, &leaf0.edx, 4);
        std::memcpy(vendor + 8, &leaf0.ecx, 4);
        uint32_t highestLeaf = leaf0.eax;

        if (std::memcmp(vendor, kRequiredVendor, VENDOR_SIZE) != 0) {
            found = CPU_RESULT_NOT_QUALIFIED;
        } else if (static_cast<int32_t>(highestLeaf) < 1) {
            found = highestLeaf;
        } else {
            CpuidRegisters leaf1;
            ExecuteCpuid(1, &leaf1);
            found = highestLeaf >= 2 ? leaf1.eax : static_cast<uint32_t>(CPU_RESULT_NOT_QUALIFIED);
        }
    }

    WriteFlagsRegister(saved);
    return found;
}
