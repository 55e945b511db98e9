#include "platform/processor.h"

#include <cpuid.h>

// The flags register is moved through the stack: pushf/popf are the only
// way to reach it. The 64-bit forms carry the whole RFLAGS, whose upper
// half is reserved and read as 0.

uint32_t ReadFlagsRegister()
{
#if defined(__x86_64__)
    uint64_t flags;
    __asm__ __volatile__("pushfq\n\tpopq %0" : "=r"(flags) : : "memory");
    return static_cast<uint32_t>(flags);
#elif defined(__i386__)
    uint32_t flags;
    __asm__ __volatile__("pushfl\n\tpopl %0" : "=r"(flags) : : "memory");
    return flags;
#else
#error "the flags register is reached only on x86"
#endif
}

void WriteFlagsRegister(uint32_t flags)
{
#if defined(__x86_64__)
    uint64_t wide = flags;
    __asm__ __volatile__("pushq %0\n\tpopfq" : : "r"(wide) : "memory", "cc");
#elif defined(__i386__)
    __asm__ __volatile__("pushl %0\n\tpopfl" : : "r"(flags) : "memory", "cc");
#endif
}

void ExecuteCpuid(uint32_t leaf, CpuidRegisters *registers)
{
    unsigned a, b, c, d;
    __cpuid_count(leaf, 0, a, b, c, d);
    registers->eax = a;
    registers->ebx = b;
    registers->ecx = c;
    registers->edx = d;
}
