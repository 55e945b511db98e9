#pragma once
#include <cstdint>
#include <vector>

#include "platform/processor.h"

// A simulated machine behind platform/processor.h and platform/osversion.h.
// The flags register belongs to the one thread; which bits of it stick,
// and what CPUID answers, belong to the processor the thread runs on.

struct SimulatedProcessor {
    char vendor[12];       // leaf 0's EBX, EDX, ECX, as bytes in that order
    uint32_t highestLeaf;  // leaf 0's EAX
    uint32_t signature;    // leaf 1's EAX
    uint32_t stuckFlags;   // flags bits that a write cannot change
};

// An "UlvaronChips" processor with highest leaf 2 and `signature`
// (0xF41 is family 15).
SimulatedProcessor UlvaronProcessor(uint32_t signature = 0xF41);

struct SimulatedMachine {
    std::vector<SimulatedProcessor> processors;  // index = processor number
    AffinityMask processMask;
    AffinityMask systemMask;
    uint32_t reportedCount;     // dwNumberOfProcessors
    bool maskReadFails;         // ReadProcessAffinity fails
    AffinityMask failingBind;   // binding to exactly this mask fails; 0 none
    uint32_t runningOn;         // the processor before any binding
    uint32_t flags;             // the flags register at the start
};

// One Ulvaron processor of family 15, masks 1, count 1, flags 0x202.
SimulatedMachine OneProcessorMachine();

// Replaces the machine and clears everything recorded.
void SetSimulatedMachine(const SimulatedMachine &machine);

struct CpuidCall {
    uint32_t processor;  // where it ran
    uint32_t leaf;
};

// What the code under test did to the machine since SetSimulatedMachine.
const std::vector<CpuidCall> &RecordedCpuidCalls();
const std::vector<AffinityMask> &RecordedBinds();  // every bind asked for, failed ones too
int RecordedMaskReads();
int CpuidWithoutInstruction();  // CPUID run where flags bit 21 sticks
uint32_t CurrentProcessor();
uint32_t CurrentFlags();

// The version record the system gives, and which forms it accepts.
struct SimulatedOsVersion {
    uint32_t platformId;
    uint32_t major;
    uint32_t minor;
    bool extendedAccepted;
    bool basicAccepted;
};

// Replaces the version and clears the recorded queries.
void SetSimulatedOsVersion(const SimulatedOsVersion &version);

// The size field of each query, in order.
const std::vector<uint32_t> &RecordedOsVersionQueries();
