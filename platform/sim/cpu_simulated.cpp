#include "platform/processor.h"

#include <cstring>

// A stand-in for the processor, so that the program can be shown on a
// machine whose processors would not pass the gate: every processor reads
// as an "UlvaronChips" of family 15. The flags register is simulated too:
// a plain word that reads back whatever was last written, so every bit is
// changeable, the alignment-check and identification bits among them, and
// the gate finds CPUID. The real register is never touched.

namespace {

const uint32_t SIMULATED_HIGHEST_LEAF = 2;
const uint32_t SIMULATED_SIGNATURE = 0x00000F41;  // family 15, model 4, stepping 1

uint32_t g_flags = 0x202;  // interrupts enabled and the always-set bit 1

uint32_t Word(const char *bytes)
{
    uint32_t w;
    std::memcpy(&w, bytes, 4);
    return w;
}

}  // namespace

uint32_t ReadFlagsRegister()
{
    return g_flags;
}

void WriteFlagsRegister(uint32_t flags)
{
    g_flags = flags;
}

void ExecuteCpuid(uint32_t leaf, CpuidRegisters *registers)
{
    static const char vendor[] = "UlvaronChips";
    registers->eax = registers->ebx = registers->ecx = registers->edx = 0;
    if (leaf == 0) {
        registers->eax = SIMULATED_HIGHEST_LEAF;
        registers->ebx = Word(vendor + 0);
        registers->edx = Word(vendor + 4);
        registers->ecx = Word(vendor + 8);
    } else if (leaf == 1) {
        registers->eax = SIMULATED_SIGNATURE;
    }
}
