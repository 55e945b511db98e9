#include "app/gate.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/resources/resource.h"
#include "app/report.h"
#include "platform/osversion.h"
#include "tests/fakes/fake_msgbox.h"
#include "tests/fakes/fake_processor.h"

namespace {

const uint32_t kSupported[] = {4, 5, 15, 10, 90, OS_CODE_LIST_END};
const uint32_t kUntouched = 0xDEADBEEF;
const uint32_t kAlignmentCheck = 0x40000;
const uint32_t kIdentification = 0x200000;
const AffinityMask kTopBit = AffinityMask(1) << (sizeof(AffinityMask) * 8 - 1);

SimulatedProcessor OtherVendor(uint32_t signature)
{
    SimulatedProcessor p = UlvaronProcessor(signature);
    std::memcpy(p.vendor, "GenuineOther", 12);
    return p;
}

SimulatedProcessor WithHighestLeaf(uint32_t leaf)
{
    SimulatedProcessor p = UlvaronProcessor();
    p.highestLeaf = leaf;
    return p;
}

SimulatedProcessor WithStuck(uint32_t bits)
{
    SimulatedProcessor p = UlvaronProcessor();
    p.stuckFlags = bits;
    return p;
}

SimulatedMachine Machine(std::vector<SimulatedProcessor> processors, AffinityMask systemMask,
                         uint32_t reportedCount)
{
    SimulatedMachine m = OneProcessorMachine();
    m.processors = processors;
    m.systemMask = systemMask;
    m.processMask = systemMask;
    m.reportedCount = reportedCount;
    return m;
}

std::vector<unsigned> ShownIds()
{
    std::vector<unsigned> ids;
    for (const RecordedMessage &m : RecordedMessages())
        ids.push_back(m.stringId);
    return ids;
}

std::vector<uint32_t> CpuidProcessors()
{
    std::vector<uint32_t> where;
    for (const CpuidCall &c : RecordedCpuidCalls())
        where.push_back(c.processor);
    return where;
}

class GateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearRecordedMessages();
        SetSimulatedMachine(OneProcessorMachine());
    }
};

// --- IdentifyOs ---------------------------------------------------------

struct OsCase {
    const char *label;
    SimulatedOsVersion version;
    bool hasCode;            // a row of the table matched
    uint32_t code;
    bool supported;
    std::vector<uint32_t> queries;
};

const uint32_t EXT = OS_VERSION_EXTENDED_SIZE;
const uint32_t BASIC = OS_VERSION_BASIC_SIZE;

TEST_F(GateTest, IdentifyOsDerivesTheCodeAndLooksItUp)
{
    const OsCase cases[] = {
        {"95 is 1/4.0", {1, 4, 0, true, true}, true, 15, true, {EXT}},
        {"1/3.x counts as 95", {1, 3, 95, true, true}, true, 15, true, {EXT}},
        {"98 is 1/4.10", {1, 4, 10, true, true}, true, 10, true, {EXT}},
        {"Me is 1/4.90", {1, 4, 90, true, true}, true, 90, true, {EXT}},
        {"1/4.20 matches no row", {1, 4, 20, true, true}, false, 0, false, {EXT}},
        {"1/5.10 is 98: only the minor version is asked", {1, 5, 10, true, true}, true, 10, true, {EXT}},
        {"1 with a huge major is unsigned, not below 4", {1, 0x80000000u, 0, true, true}, false, 0, false, {EXT}},
        {"NT 4 is 2/4.0", {2, 4, 0, true, true}, true, 4, true, {EXT}},
        {"NT 3.51 is code 4", {2, 3, 51, true, true}, true, 4, true, {EXT}},
        {"2000 is 2/5.0", {2, 5, 0, true, true}, true, 5, true, {EXT}},
        {"XP64-like 2/5.2", {2, 5, 2, true, true}, true, 5, true, {EXT}},
        {"2/6.0 matches no row", {2, 6, 0, true, true}, false, 0, false, {EXT}},
        {"2 with a huge major is unsigned, not 4 or lower", {2, 0xFFFFFFFFu, 0, true, true}, false, 0, false, {EXT}},
        {"platform 3 is code 100, refused", {3, 5, 0, true, true}, true, 100, false, {EXT}},
        {"platform 0 is code 100, refused", {0, 3, 10, true, true}, true, 100, false, {EXT}},
        {"extended record refused, basic one read", {2, 5, 0, false, true}, true, 5, true, {EXT, BASIC}},
        {"extended refused on 98", {1, 4, 10, false, true}, true, 10, true, {EXT, BASIC}},
        {"both records refused", {1, 4, 0, false, false}, false, 0, false, {EXT, BASIC}},
    };
    for (const OsCase &c : cases) {
        SCOPED_TRACE(c.label);
        ClearRecordedMessages();
        SetSimulatedOsVersion(c.version);
        uint32_t code = kUntouched;
        EXPECT_EQ(c.supported, IdentifyOs(kSupported, &code));
        EXPECT_EQ(c.hasCode ? c.code : kUntouched, code);
        EXPECT_EQ(c.queries, RecordedOsVersionQueries());
        EXPECT_TRUE(RecordedMessages().empty());
    }
}

TEST_F(GateTest, IdentifyOsWalksTheListToItsMarker)
{
    struct ListCase {
        const char *label;
        std::vector<uint32_t> list;
        bool found;
    };
    const ListCase cases[] = {
        {"code first", {5, OS_CODE_LIST_END}, true},
        {"code last", {4, 15, 10, 90, 5, OS_CODE_LIST_END}, true},
        {"code missing", {4, 15, 10, 90, OS_CODE_LIST_END}, false},
        {"code after the marker is not seen", {4, OS_CODE_LIST_END, 5}, false},
        {"marker alone", {OS_CODE_LIST_END}, false},
    };
    SetSimulatedOsVersion({2, 5, 0, true, true});
    for (const ListCase &c : cases) {
        SCOPED_TRACE(c.label);
        uint32_t code = 0;
        EXPECT_EQ(c.found, IdentifyOs(c.list.data(), &code));
        EXPECT_EQ(5u, code);
    }
}

// --- IdentifyProcessor --------------------------------------------------

struct IdentifyCase {
    const char *label;
    SimulatedProcessor processor;
    uint32_t result;
    std::vector<uint32_t> leaves;  // CPUID leaves run, in order
};

TEST_F(GateTest, IdentifyProcessorGivesSignatureOrPseudoResult)
{
    SimulatedProcessor lastByteDiffers = UlvaronProcessor();
    lastByteDiffers.vendor[11] = 'z';
    SimulatedProcessor extendedFamily = UlvaronProcessor(0x00100F41);

    const IdentifyCase cases[] = {
        {"family 15 signature", UlvaronProcessor(0xF41), 0xF41, {0, 1}},
        {"another family's signature", UlvaronProcessor(0x6F1), 0x6F1, {0, 1}},
        {"extended family bits pass through", extendedFamily, 0x00100F41, {0, 1}},
        {"highest leaf 1", WithHighestLeaf(1), 0x100, {0, 1}},
        {"highest leaf 0 is the result", WithHighestLeaf(0), 0, {0}},
        {"negative highest leaf is the result", WithHighestLeaf(0x80000000u), 0x80000000u, {0}},
        {"highest leaf 0xFFFFFFFF is the result", WithHighestLeaf(0xFFFFFFFFu), 0xFFFFFFFFu, {0}},
        {"another vendor with family 15", OtherVendor(0xF41), 0x100, {0}},
        {"vendor differs in its last byte", lastByteDiffers, 0x100, {0}},
        {"bit 21 stuck: no CPUID", WithStuck(kIdentification), 0x400, {}},
        {"bit 18 stuck", WithStuck(kAlignmentCheck), 0x300, {}},
        {"both stuck", WithStuck(kAlignmentCheck | kIdentification), 0x300, {}},
    };
    // The flags must come back as they were, whether the probed bits
    // started clear or set.
    const uint32_t startFlags[] = {0x202, 0x202 | kAlignmentCheck | kIdentification, 0x246 | kIdentification};
    for (const IdentifyCase &c : cases) {
        for (uint32_t flags : startFlags) {
            SCOPED_TRACE(testing::Message() << c.label << ", flags 0x" << std::hex << flags);
            SimulatedMachine m = OneProcessorMachine();
            m.processors = {c.processor};
            m.flags = flags;
            SetSimulatedMachine(m);

            const uint32_t result = IdentifyProcessor();
            EXPECT_EQ(c.result, result);
            EXPECT_EQ(flags, CurrentFlags());
            std::vector<uint32_t> leaves;
            for (const CpuidCall &call : RecordedCpuidCalls())
                leaves.push_back(call.leaf);
            EXPECT_EQ(c.leaves, leaves);
            EXPECT_EQ(0, CpuidWithoutInstruction());
        }
    }
}

TEST(ProcessorFamily, IsBitsEightToEleven)
{
    EXPECT_EQ(15u, ProcessorFamily(0xF41));
    EXPECT_EQ(15u, ProcessorFamily(0x0FFF0F00));  // extended family ignored
    EXPECT_EQ(3u, ProcessorFamily(0x300));
    EXPECT_EQ(4u, ProcessorFamily(0x400));
    EXPECT_EQ(1u, ProcessorFamily(0x100));
    EXPECT_EQ(0u, ProcessorFamily(0x80000000u));
    // The processor-type bits 12 and 13 stand right above the family.
    EXPECT_EQ(15u, ProcessorFamily(0x1F41));
    EXPECT_EQ(15u, ProcessorFamily(0x3F41));
}

TEST_F(GateTest, ProcessorTypeBitsDoNotRefuseAFamily15Processor)
{
    SimulatedMachine m = OneProcessorMachine();
    m.processors = {UlvaronProcessor(0x1F41)};
    SetSimulatedMachine(m);
    EXPECT_TRUE(CheckProcessors(REQUIRED_PROCESSOR_FAMILY, OS_CODE_98));
}

// --- CheckProcessors ----------------------------------------------------

TEST_F(GateTest, NinetyFiveFamilyIdentifiesOnceWithoutTouchingAffinity)
{
    for (uint32_t code : {15u, 10u, 90u}) {
        for (bool good : {true, false}) {
            SCOPED_TRACE(testing::Message() << "code " << code << (good ? ", family 15" : ", family 6"));
            ClearRecordedMessages();
            SimulatedMachine m =
                Machine({OtherVendor(0xF41), good ? UlvaronProcessor() : UlvaronProcessor(0x6F1)}, 3, 2);
            m.runningOn = 1;
            m.maskReadFails = true;  // would show string 6 if it were read
            SetSimulatedMachine(m);

            EXPECT_EQ(good, CheckProcessors(REQUIRED_PROCESSOR_FAMILY, code));
            EXPECT_EQ(0, RecordedMaskReads());
            EXPECT_TRUE(RecordedBinds().empty());
            EXPECT_EQ((std::vector<uint32_t>{1, 1}), CpuidProcessors());
            EXPECT_EQ(1u, CurrentProcessor());
            EXPECT_TRUE(RecordedMessages().empty());
        }
    }
}

struct WalkCase {
    const char *label;
    uint32_t osCode;
    SimulatedMachine machine;
    bool passes;
    std::vector<AffinityMask> binds;
    std::vector<uint32_t> cpuidOn;  // processor of each CPUID call
    uint32_t boundAfter;
    std::vector<unsigned> shown;
};

SimulatedMachine NarrowProcessMask()
{
    SimulatedMachine m = Machine({UlvaronProcessor(), UlvaronProcessor()}, 3, 2);
    m.processMask = 1;
    return m;
}

SimulatedMachine FailingBind(AffinityMask mask)
{
    SimulatedMachine m = Machine({UlvaronProcessor(), UlvaronProcessor()}, 3, 2);
    m.failingBind = mask;
    return m;
}

SimulatedMachine FailingMaskRead()
{
    SimulatedMachine m = Machine({UlvaronProcessor(), UlvaronProcessor()}, 3, 2);
    m.maskReadFails = true;
    return m;
}

TEST_F(GateTest, NtFamilyBindsToEachProcessorOfTheSystemMask)
{
    const SimulatedProcessor u = UlvaronProcessor();
    const SimulatedProcessor sixth = UlvaronProcessor(0x6F1);
    const SimulatedProcessor noCpuid = WithStuck(kIdentification);
    const WalkCase cases[] = {
        {"2000, two processors", 5, Machine({u, u}, 3, 2), true, {1, 2}, {0, 0, 1, 1}, 1, {}},
        {"NT 4, one processor", 4, Machine({u}, 1, 1), true, {1}, {0, 0}, 0, {}},
        {"mask with a gap: 0 and 2, count 2", 5, Machine({u, sixth, u}, 5, 2), true, {1, 4}, {0, 0, 2, 2}, 2, {}},
        {"second processor of another family", 5, Machine({u, sixth}, 3, 2), false, {1, 2}, {0, 0, 1, 1}, 1, {}},
        {"first processor of another family stops the walk", 5, Machine({sixth, u}, 3, 2), false, {1}, {0, 0}, 0, {}},
        {"second processor without CPUID", 5, Machine({u, noCpuid}, 3, 2), false, {1, 2}, {0, 0}, 1, {}},
        {"a bad processor refuses even where the count would match", 5, Machine({u, u, sixth}, 7, 2), false, {1, 2, 4}, {0, 0, 1, 1, 2, 2}, 2, {}},
        {"fewer mask bits than processors", 5, Machine({u, u}, 1, 2), false, {1}, {0, 0}, 0, {}},
        {"more mask bits than processors", 5, Machine({u, u}, 3, 1), false, {1, 2}, {0, 0, 1, 1}, 1, {}},
        {"empty mask, one processor reported", 5, Machine({u}, 0, 1), false, {}, {}, 0, {}},
        {"empty mask, none reported: nothing identified", 5, Machine({u}, 0, 0), false, {}, {}, 0, {}},
        {"mask read fails", 5, FailingMaskRead(), false, {}, {}, 0, {IDS_PROCESSOR_MASK}},
        {"first bind fails", 5, FailingBind(1), false, {1}, {}, 0, {IDS_PROCESSOR_MASK}},
        {"second bind fails", 5, FailingBind(2), false, {1, 2}, {0, 0}, 0, {IDS_PROCESSOR_MASK}},
        {"processor outside the process mask", 5, NarrowProcessMask(), false, {1, 2}, {0, 0}, 0, {IDS_PROCESSOR_MASK}},
        {"another platform's code walks too", 100, Machine({u, u}, 3, 2), true, {1, 2}, {0, 0, 1, 1}, 1, {}},
    };
    for (const WalkCase &c : cases) {
        SCOPED_TRACE(c.label);
        ClearRecordedMessages();
        SetSimulatedMachine(c.machine);

        EXPECT_EQ(c.passes, CheckProcessors(REQUIRED_PROCESSOR_FAMILY, c.osCode));
        EXPECT_EQ(c.binds, RecordedBinds());
        EXPECT_EQ(c.cpuidOn, CpuidProcessors());
        EXPECT_EQ(c.boundAfter, CurrentProcessor());
        EXPECT_EQ(c.shown, ShownIds());
        for (const RecordedMessage &m : RecordedMessages()) {
            EXPECT_EQ(unsigned(ICON_ERROR), m.icon);
            EXPECT_FALSE(m.hasCaption);
        }
        EXPECT_EQ(0, CpuidWithoutInstruction());
    }
}

TEST_F(GateTest, WalkReachesTheMasksTopBit)
{
    // Every processor of a full-width machine, then only the lowest and the
    // highest: a probe narrower than the mask would never reach the top.
    const uint32_t width = sizeof(AffinityMask) * 8;
    std::vector<SimulatedProcessor> all(width, UlvaronProcessor());

    SetSimulatedMachine(Machine(all, ~AffinityMask(0), width));
    EXPECT_TRUE(CheckProcessors(REQUIRED_PROCESSOR_FAMILY, 5));
    ASSERT_EQ(width, RecordedBinds().size());
    EXPECT_EQ(kTopBit, RecordedBinds().back());
    EXPECT_EQ(width - 1, CurrentProcessor());

    SetSimulatedMachine(Machine(all, 1 | kTopBit, 2));
    EXPECT_TRUE(CheckProcessors(REQUIRED_PROCESSOR_FAMILY, 5));
    EXPECT_EQ((std::vector<AffinityMask>{1, kTopBit}), RecordedBinds());
    EXPECT_EQ(width - 1, CurrentProcessor());
    EXPECT_TRUE(RecordedMessages().empty());
}

}  // namespace
