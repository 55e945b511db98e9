#include "tests/fakes/fake_processor.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/osversion.h"

namespace {

const uint32_t FLAG_IDENTIFICATION = 0x200000;

SimulatedMachine g_machine = OneProcessorMachine();
std::vector<CpuidCall> g_cpuidCalls;
std::vector<AffinityMask> g_binds;
int g_maskReads;
int g_cpuidWithoutInstruction;

SimulatedOsVersion g_version = {2, 5, 1, true, true};
std::vector<uint32_t> g_versionQueries;

// A fixture that puts the thread on a processor it never described is a
// broken test, not a case to simulate.
const SimulatedProcessor &Running()
{
    if (g_machine.runningOn >= g_machine.processors.size()) {
        std::fprintf(stderr, "simulated machine: no processor %u\n", g_machine.runningOn);
        std::abort();
    }
    return g_machine.processors[g_machine.runningOn];
}

uint32_t Lowest(AffinityMask mask)
{
    uint32_t n = 0;
    while (!(mask & 1)) {
        mask >>= 1;
        ++n;
    }
    return n;
}

uint32_t Word(const char *bytes)
{
    uint32_t w;
    std::memcpy(&w, bytes, 4);
    return w;
}

}  // namespace

SimulatedProcessor UlvaronProcessor(uint32_t signature)
{
    SimulatedProcessor p;
    std::memcpy(p.vendor, "UlvaronChips", 12);
    p.highestLeaf = 2;
    p.signature = signature;
    p.stuckFlags = 0;
    return p;
}

SimulatedMachine OneProcessorMachine()
{
    SimulatedMachine m;
    m.processors = {UlvaronProcessor()};
    m.processMask = 1;
    m.systemMask = 1;
    m.reportedCount = 1;
    m.maskReadFails = false;
    m.failingBind = 0;
    m.runningOn = 0;
    m.flags = 0x202;
    return m;
}

void SetSimulatedMachine(const SimulatedMachine &machine)
{
    g_machine = machine;
    g_cpuidCalls.clear();
    g_binds.clear();
    g_maskReads = 0;
    g_cpuidWithoutInstruction = 0;
}

const std::vector<CpuidCall> &RecordedCpuidCalls() { return g_cpuidCalls; }
const std::vector<AffinityMask> &RecordedBinds() { return g_binds; }
int RecordedMaskReads() { return g_maskReads; }
int CpuidWithoutInstruction() { return g_cpuidWithoutInstruction; }
uint32_t CurrentProcessor() { return g_machine.runningOn; }
uint32_t CurrentFlags() { return g_machine.flags; }

uint32_t ReadFlagsRegister()
{
    return g_machine.flags;
}

void WriteFlagsRegister(uint32_t flags)
{
    uint32_t stuck = Running().stuckFlags;
    g_machine.flags = (flags & ~stuck) | (g_machine.flags & stuck);
}

void ExecuteCpuid(uint32_t leaf, CpuidRegisters *registers)
{
    const SimulatedProcessor &p = Running();
    g_cpuidCalls.push_back({g_machine.runningOn, leaf});
    if (p.stuckFlags & FLAG_IDENTIFICATION)
        ++g_cpuidWithoutInstruction;
    if (leaf == 0) {
        registers->eax = p.highestLeaf;
        registers->ebx = Word(p.vendor + 0);
        registers->edx = Word(p.vendor + 4);
        registers->ecx = Word(p.vendor + 8);
    } else {
        registers->eax = leaf == 1 ? p.signature : 0;
        registers->ebx = registers->ecx = registers->edx = 0;
    }
}

bool ReadProcessAffinity(AffinityMask *processMask, AffinityMask *systemMask)
{
    ++g_maskReads;
    if (g_machine.maskReadFails)
        return false;
    *processMask = g_machine.processMask;
    *systemMask = g_machine.systemMask;
    return true;
}

uint32_t ReportedProcessorCount()
{
    return g_machine.reportedCount;
}

bool BindCurrentThread(AffinityMask mask)
{
    g_binds.push_back(mask);
    // As the system does: no empty mask, nothing outside the process's mask.
    if (mask == 0 || (mask & ~g_machine.processMask) != 0 || mask == g_machine.failingBind)
        return false;
    g_machine.runningOn = Lowest(mask);
    return true;
}

void SetSimulatedOsVersion(const SimulatedOsVersion &version)
{
    g_version = version;
    g_versionQueries.clear();
}

const std::vector<uint32_t> &RecordedOsVersionQueries() { return g_versionQueries; }

bool QueryOsVersion(OsVersionRecord *record)
{
    g_versionQueries.push_back(record->size);
    bool extended = record->size == OS_VERSION_EXTENDED_SIZE;
    if (extended ? !g_version.extendedAccepted
                 : record->size != OS_VERSION_BASIC_SIZE || !g_version.basicAccepted)
        return false;
    record->majorVersion = g_version.major;
    record->minorVersion = g_version.minor;
    record->buildNumber = 1;
    record->platformId = g_version.platformId;
    std::strcpy(record->servicePackText, "Simulated");
    if (extended) {
        record->servicePackMajor = 1;
        record->productType = 1;
    }
    return true;
}
