// The gate on this machine's own processor, through the real flags register,
// CPUID and affinity calls. This machine is no "UlvaronChips", so the gate
// must stay closed, and it must close without an affinity failure.
#include "app/gate.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cpuid.h>
#include <cstring>
#include <string>

#include "platform/osversion.h"
#include "platform/processor.h"
#include "tests/wine/support/wine_support.h"

namespace {

const uint32_t kAlignmentCheck = 0x40000;
const uint32_t kIdentification = 0x200000;

std::string VendorOf(const CpuidRegisters &leaf0)
{
    char v[12];
    std::memcpy(v + 0, &leaf0.ebx, 4);
    std::memcpy(v + 4, &leaf0.edx, 4);
    std::memcpy(v + 8, &leaf0.ecx, 4);
    return std::string(v, 12);
}

AffinityMask SystemMask()
{
    AffinityMask process = 0, system = 0;
    EXPECT_TRUE(ReadProcessAffinity(&process, &system));
    return system;
}

TEST(RealProcessor, FlagsBitsEighteenAndTwentyOneChangeAndComeBack)
{
    const uint32_t before = ReadFlagsRegister();
    for (uint32_t bit : {kAlignmentCheck, kIdentification}) {
        WriteFlagsRegister(before ^ bit);
        uint32_t flipped = ReadFlagsRegister();
        WriteFlagsRegister(before);
        uint32_t restored = ReadFlagsRegister();
        EXPECT_EQ(before ^ bit, flipped) << std::hex << bit;
        EXPECT_EQ(before, restored) << std::hex << bit;
    }
}

TEST(RealProcessor, CpuidAgreesWithTheCompilersOwnQuery)
{
    unsigned a, b, c, d;
    ASSERT_TRUE(__get_cpuid(0, &a, &b, &c, &d));
    CpuidRegisters leaf0;
    ExecuteCpuid(0, &leaf0);
    EXPECT_EQ(a, leaf0.eax);
    EXPECT_EQ(b, leaf0.ebx);
    EXPECT_EQ(c, leaf0.ecx);
    EXPECT_EQ(d, leaf0.edx);
    EXPECT_GE(leaf0.eax, 1u);
    std::string vendor = VendorOf(leaf0);
    EXPECT_NE("UlvaronChips", vendor);
    for (char ch : vendor)
        EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << vendor;

    ASSERT_TRUE(__get_cpuid(1, &a, &b, &c, &d));
    CpuidRegisters leaf1;
    ExecuteCpuid(1, &leaf1);
    EXPECT_EQ(a, leaf1.eax);
    // A real signature: any processor with a 64-bit mode is family 6 or 15.
    uint32_t family = ProcessorFamily(leaf1.eax);
    EXPECT_TRUE(family == 6 || family == 15) << std::hex << leaf1.eax;
}

TEST(RealProcessor, IdentifiesAsAnotherVendorAndRestoresTheFlags)
{
    const uint32_t before = ReadFlagsRegister() & (kAlignmentCheck | kIdentification);
    const uint32_t result = IdentifyProcessor();
    EXPECT_EQ(uint32_t(CPU_RESULT_NOT_QUALIFIED), result);
    EXPECT_EQ(before, ReadFlagsRegister() & (kAlignmentCheck | kIdentification));
}

TEST(RealAffinity, BindingMovesTheThreadOntoThatProcessor)
{
    AffinityMask system = SystemMask();
    ASSERT_NE(0u, system);
    uint32_t bits = 0;
    for (unsigned n = 0; n < sizeof(AffinityMask) * 8; ++n) {
        AffinityMask probe = AffinityMask(1) << n;
        if (!(system & probe))
            continue;
        ++bits;
        ASSERT_TRUE(BindCurrentThread(probe)) << n;
        EXPECT_EQ(n, GetCurrentProcessorNumber()) << n;
    }
    EXPECT_EQ(bits, ReportedProcessorCount());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(BindCurrentThread(0));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_TRUE(BindCurrentThread(system));
}

TEST(RealGate, ClosesOnTheFirstProcessorWithoutAnAffinityFailure)
{
    AffinityMask system = SystemMask();
    AffinityMask lowest = system & (~system + 1);

    BoxAnswerer answerer;
    EXPECT_FALSE(CheckProcessors(REQUIRED_PROCESSOR_FAMILY, OS_CODE_2000));
    // The first processor already fails, and the thread stays bound there.
    AffinityMask left = SetThreadAffinityMask(GetCurrentThread(), system);
    EXPECT_EQ(lowest, left);

    // The single identification of the 95 family closes it too.
    EXPECT_FALSE(CheckProcessors(REQUIRED_PROCESSOR_FAMILY, OS_CODE_98));
    EXPECT_EQ(system, SetThreadAffinityMask(GetCurrentThread(), system));

    answerer.Stop();
    EXPECT_EQ(0u, answerer.Count());
}

TEST(RealOsVersion, BothRecordsGiveTheSameVersion)
{
    OsVersionRecord extended;
    std::memset(&extended, 0, sizeof extended);
    extended.size = OS_VERSION_EXTENDED_SIZE;
    ASSERT_TRUE(QueryOsVersion(&extended));

    OsVersionRecord basic;
    std::memset(&basic, 0xCC, sizeof basic);
    basic.size = OS_VERSION_BASIC_SIZE;
    ASSERT_TRUE(QueryOsVersion(&basic));
    EXPECT_EQ(extended.platformId, basic.platformId);
    EXPECT_EQ(extended.majorVersion, basic.majorVersion);
    EXPECT_EQ(extended.minorVersion, basic.minorVersion);
    EXPECT_EQ(0, std::strcmp(extended.servicePackText, basic.servicePackText));
    // The basic form leaves the extended fields alone.
    EXPECT_EQ(0xCCCCu, basic.servicePackMajor);
}

TEST(RealOsVersion, TheTestPrefixIsAcceptedAsCodeFive)
{
    // The harness sets its prefixes to report NT 5.2.
    const uint32_t supported[] = {4, 5, 15, 10, 90, OS_CODE_LIST_END};
    uint32_t code = 0;
    EXPECT_TRUE(IdentifyOs(supported, &code));
    EXPECT_EQ(uint32_t(OS_CODE_2000), code);
}

}  // namespace
