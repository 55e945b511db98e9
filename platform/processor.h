#pragma once
#include <cstdint>

// The processor as the gate sees it: its flags register, its identification
// instruction, and the calls that bind the calling thread to one processor.
// The flags and CPUID act on the processor the calling thread runs on.

// The flags register (its low 32 bits; the upper half of the 64-bit one is
// reserved and written as 0). A bit the processor does not let software
// change keeps its value on a write.
uint32_t ReadFlagsRegister();
void WriteFlagsRegister(uint32_t flags);

// The four registers that CPUID leaves in reply to `leaf` (subleaf 0).
// Only call it once flags bit 21 has been seen to change.
struct CpuidRegisters {
    uint32_t eax, ebx, ecx, edx;
};
void ExecuteCpuid(uint32_t leaf, CpuidRegisters *registers);

// A processor affinity mask, one bit per processor, as wide as a pointer.
typedef uintptr_t AffinityMask;

// The current process's affinity mask and the system's. False when the
// system cannot give them; the two outputs are then undefined.
bool ReadProcessAffinity(AffinityMask *processMask, AffinityMask *systemMask);

// The number of processors the system reports.
uint32_t ReportedProcessorCount();

// Binds the calling thread to the processors of `mask`; the platform moves
// it onto one of them before this returns. False when the binding is
// refused (for instance a processor outside the process's mask).
bool BindCurrentThread(AffinityMask mask);
