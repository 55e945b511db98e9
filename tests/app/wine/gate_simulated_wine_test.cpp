// The gate with the simulated processor of the demonstration program: the
// processor is simulated, the affinity calls are the system's own.
#include "app/gate.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/processor.h"
#include "tests/wine/support/wine_support.h"

namespace {

TEST(SimulatedProcessor, IdentifiesAsFamilyFifteenAndRestoresItsFlags)
{
    const uint32_t before = ReadFlagsRegister();
    const uint32_t result = IdentifyProcessor();
    EXPECT_EQ(0xF41u, result);
    EXPECT_EQ(15u, ProcessorFamily(result));
    EXPECT_EQ(before, ReadFlagsRegister());
}

TEST(SimulatedProcessor, GateOpensAndLeavesTheThreadOnTheHighestProcessor)
{
    AffinityMask process = 0, system = 0;
    ASSERT_TRUE(ReadProcessAffinity(&process, &system));
    ASSERT_NE(0u, system);
    AffinityMask highest = system;
    unsigned highestIndex = 0;
    while (highest & (highest - 1))
        highest &= highest - 1;
    while ((AffinityMask(1) << highestIndex) != highest)
        ++highestIndex;

    BoxAnswerer answerer;
    EXPECT_TRUE(CheckProcessors(REQUIRED_PROCESSOR_FAMILY, OS_CODE_2000));
    EXPECT_EQ(highestIndex, GetCurrentProcessorNumber());
    EXPECT_EQ(highest, SetThreadAffinityMask(GetCurrentThread(), system));

    EXPECT_TRUE(CheckProcessors(REQUIRED_PROCESSOR_FAMILY, OS_CODE_ME));
    EXPECT_EQ(system, SetThreadAffinityMask(GetCurrentThread(), system));
    answerer.Stop();
    EXPECT_EQ(0u, answerer.Count());
}

}  // namespace
