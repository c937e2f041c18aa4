#include "device/report_descriptor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace gmd {
namespace {

using Bytes = std::vector<uint8_t>;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

// Boot-style mouse: five buttons, three padding bits, X/Y/wheel as signed bytes, no report IDs.
const Bytes kMouse = {
    0x05, 0x01,  // Usage Page (Generic Desktop)
    0x09, 0x02,  // Usage (Mouse)
    0xA1, 0x01,  // Collection (Application)
    0x09, 0x01,  //   Usage (Pointer)
    0xA1, 0x00,  //   Collection (Physical)
    0x05, 0x09,  //     Usage Page (Button)
    0x19, 0x01,  //     Usage Minimum (1)
    0x29, 0x05,  //     Usage Maximum (5)
    0x15, 0x00,  //     Logical Minimum (0)
    0x25, 0x01,  //     Logical Maximum (1)
    0x95, 0x05,  //     Report Count (5)
    0x75, 0x01,  //     Report Size (1)
    0x81, 0x02,  //     Input (Data,Var,Abs)
    0x95, 0x01,  //     Report Count (1)
    0x75, 0x03,  //     Report Size (3)
    0x81, 0x01,  //     Input (Const)
    0x05, 0x01,  //     Usage Page (Generic Desktop)
    0x09, 0x30,  //     Usage (X)
    0x09, 0x31,  //     Usage (Y)
    0x09, 0x38,  //     Usage (Wheel)
    0x15, 0x81,  //     Logical Minimum (-127)
    0x25, 0x7F,  //     Logical Maximum (127)
    0x75, 0x08,  //     Report Size (8)
    0x95, 0x03,  //     Report Count (3)
    0x81, 0x06,  //     Input (Data,Var,Rel)
    0xC0,        //   End Collection
    0xC0,        // End Collection
};

// Keyboard node with three top-level collections behind report IDs 1, 2 and 3.
const Bytes kKeyboard = {
    0x05, 0x01,        // Usage Page (Generic Desktop)
    0x09, 0x06,        // Usage (Keyboard)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x01,        //   Report ID (1)
    0x05, 0x07,        //   Usage Page (Keyboard/Keypad)
    0x19, 0xE0,        //   Usage Minimum (Left Control)
    0x29, 0xE7,        //   Usage Maximum (Right GUI)
    0x15, 0x00,        //   Logical Minimum (0)
    0x25, 0x01,        //   Logical Maximum (1)
    0x75, 0x01,        //   Report Size (1)
    0x95, 0x08,        //   Report Count (8)
    0x81, 0x02,        //   Input (Data,Var,Abs): modifiers
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x01,        //   Report Count (1)
    0x81, 0x01,        //   Input (Const): reserved byte
    0x05, 0x08,        //   Usage Page (LEDs)
    0x19, 0x01,        //   Usage Minimum (Num Lock)
    0x29, 0x05,        //   Usage Maximum (Kana)
    0x75, 0x01,        //   Report Size (1)
    0x95, 0x05,        //   Report Count (5)
    0x91, 0x02,        //   Output (Data,Var,Abs)
    0x75, 0x03,        //   Report Size (3)
    0x95, 0x01,        //   Report Count (1)
    0x91, 0x01,        //   Output (Const)
    0x05, 0x07,        //   Usage Page (Keyboard/Keypad)
    0x19, 0x00,        //   Usage Minimum (0)
    0x29, 0xFF,        //   Usage Maximum (255)
    0x15, 0x00,        //   Logical Minimum (0)
    0x25, 0xFF,        //   Logical Maximum (255, written as one byte)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x06,        //   Report Count (6)
    0x81, 0x00,        //   Input (Data,Array,Abs): key slots
    0xC0,              // End Collection
    0x05, 0x0C,        // Usage Page (Consumer)
    0x09, 0x01,        // Usage (Consumer Control)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x02,        //   Report ID (2)
    0x19, 0x00,        //   Usage Minimum (0)
    0x2A, 0xFF, 0x03,  //   Usage Maximum (0x3FF)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x03,  //   Logical Maximum (0x3FF)
    0x75, 0x10,        //   Report Size (16)
    0x95, 0x01,        //   Report Count (1)
    0x81, 0x00,        //   Input (Data,Array,Abs)
    0xC0,              // End Collection
    0x05, 0x01,        // Usage Page (Generic Desktop)
    0x09, 0x80,        // Usage (System Control)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x03,        //   Report ID (3)
    0x19, 0x81,        //   Usage Minimum (System Power Down)
    0x29, 0x83,        //   Usage Maximum (System Wake Up)
    0x15, 0x01,        //   Logical Minimum (1)
    0x25, 0x03,        //   Logical Maximum (3)
    0x75, 0x02,        //   Report Size (2)
    0x95, 0x01,        //   Report Count (1)
    0x81, 0x00,        //   Input (Data,Array,Abs)
    0x75, 0x06,        //   Report Size (6)
    0x81, 0x01,        //   Input (Const)
    0xC0,              // End Collection
};

// Command interface (63-byte vendor reports both ways) next to a Consumer Control collection.
const Bytes kVendor = {
    0x06, 0x1C, 0xFF,  // Usage Page (Vendor 0xFF1C)
    0x09, 0x92,        // Usage (0x92)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x04,        //   Report ID (4)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x3F,        //   Report Count (63)
    0x09, 0x01,        //   Usage (1)
    0x81, 0x02,        //   Input (Data,Var,Abs)
    0x09, 0x02,        //   Usage (2)
    0x91, 0x02,        //   Output (Data,Var,Abs)
    0xC0,              // End Collection
    0x05, 0x0C,        // Usage Page (Consumer)
    0x09, 0x01,        // Usage (Consumer Control)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x03,        //   Report ID (3)
    0x19, 0x00,        //   Usage Minimum (0)
    0x2A, 0xFF, 0x07,  //   Usage Maximum (0x7FF)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x07,  //   Logical Maximum (0x7FF)
    0x75, 0x10,        //   Report Size (16)
    0x95, 0x01,        //   Report Count (1)
    0x81, 0x00,        //   Input (Data,Array,Abs)
    0xC0,              // End Collection
};

// Test names come from the case tables.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
    return param.param.name;
}

ReportDescriptor MustParse(const Bytes& bytes) {
    ReportDescriptor descriptor;
    std::string error;
    EXPECT_TRUE(ParseReportDescriptor(bytes, descriptor, error)) << error;
    EXPECT_TRUE(error.empty());
    return descriptor;
}

// ---- collections and report lengths ----

struct CollectionExpectation {
    uint16_t usagePage;
    uint16_t usage;
    uint16_t inputLength;
    uint16_t outputLength;
    uint16_t featureLength;
    std::vector<uint8_t> inputIds;
};

struct DescriptorCase {
    const char* name;
    const Bytes* bytes;
    bool usesReportIds;
    std::vector<CollectionExpectation> collections;
};

class DescriptorLayoutTest : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(DescriptorLayoutTest, CollectionsAndReportLengths) {
    const DescriptorCase& c = GetParam();
    const ReportDescriptor descriptor = MustParse(*c.bytes);
    EXPECT_EQ(descriptor.usesReportIds, c.usesReportIds);
    ASSERT_EQ(descriptor.collections.size(), c.collections.size());
    for (size_t i = 0; i < c.collections.size(); ++i) {
        SCOPED_TRACE("collection " + std::to_string(i));
        const HidCollection& got = descriptor.collections[i];
        const CollectionExpectation& want = c.collections[i];
        EXPECT_EQ(got.usagePage, want.usagePage);
        EXPECT_EQ(got.usage, want.usage);
        EXPECT_EQ(got.inputReportByteLength, want.inputLength);
        EXPECT_EQ(got.outputReportByteLength, want.outputLength);
        EXPECT_EQ(got.featureReportByteLength, want.featureLength);
        EXPECT_EQ(got.inputReportIds, want.inputIds);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Descriptors, DescriptorLayoutTest,
    ::testing::Values(
        // The report ID byte counts even without report IDs: 4 data bytes + 1.
        DescriptorCase{"Mouse", &kMouse, false, {{0x01, 0x02, 5, 0, 0, {0}}}},
        DescriptorCase{
            "Keyboard",
            &kKeyboard,
            true,
            {{0x01, 0x06, 9, 2, 0, {1}}, {0x0C, 0x01, 3, 0, 0, {2}}, {0x01, 0x80, 2, 0, 0, {3}}}},
        DescriptorCase{"VendorAndConsumer",
                       &kVendor,
                       true,
                       {{0xFF1C, 0x92, 64, 64, 0, {4}}, {0x0C, 0x01, 3, 0, 0, {3}}}}),
    CaseName<DescriptorCase>);

TEST(ReportDescriptorTest, MouseFieldsHaveBitOffsetsAndSignedLimits) {
    const ReportDescriptor descriptor = MustParse(kMouse);
    const std::vector<HidField>& fields = descriptor.collections.at(0).fields;
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0].bitOffset, 0u);
    EXPECT_TRUE(fields[0].hasRange);
    EXPECT_EQ(fields[0].usageMin, 0x00090001u);
    EXPECT_EQ(fields[0].usageMax, 0x00090005u);
    EXPECT_EQ(fields[1].bitOffset, 5u);
    EXPECT_TRUE(fields[1].IsConstant());
    EXPECT_EQ(fields[2].bitOffset, 8u);
    EXPECT_EQ(fields[2].usagePage, 0x01);
    EXPECT_THAT(fields[2].usages, ElementsAre(0x00010030u, 0x00010031u, 0x00010038u));
    EXPECT_EQ(fields[2].logicalMin, -127);
    EXPECT_EQ(fields[2].logicalMax, 127);
    // One-byte 0xFF with a minimum of 0 means 255, not -1.
    const ReportDescriptor keyboard = MustParse(kKeyboard);
    EXPECT_EQ(keyboard.collections.at(0).fields.back().logicalMax, 255);
}

// Push/pop, a long item, short and extended usages, a usage page set after the usage and a
// nested collection, all in one top-level collection.
TEST(ReportDescriptorTest, GlobalStackLongItemsAndUsagePages) {
    const Bytes bytes = {
        0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,  // Generic Desktop, Mouse, Collection (Application)
        0x15, 0x00, 0x25, 0x0F,              //   Logical 0..15
        0x75, 0x08, 0x95, 0x01,              //   Report Size 8, Count 1
        0xA4,                                //   Push
        0x75, 0x04, 0x95, 0x02,              //   Report Size 4, Count 2
        0x09, 0x30,                          //   Usage (0x30): page comes at the main item
        0x0B, 0xE9, 0x00, 0x0C, 0x00,        //   Usage (Consumer:Volume Up), extended
        0x05, 0x0D,                          //   Usage Page (Digitizer)
        0x81, 0x02,                          //   Input: 2 x 4 bits
        0xB4,                                //   Pop: size 8, count 1, Generic Desktop
        0xFE, 0x02, 0x10, 0xAA, 0xBB,        //   Long item, skipped
        0xA1, 0x00,                          //   Collection (Physical)
        0x09, 0x31,                          //     Usage (Y)
        0x81, 0x02,                          //     Input: 8 bits
        0xC0,                                //   End Collection
        0xC0,                                // End Collection
    };
    const ReportDescriptor descriptor = MustParse(bytes);
    ASSERT_EQ(descriptor.collections.size(), 1u);
    const HidCollection& collection = descriptor.collections[0];
    ASSERT_EQ(collection.fields.size(), 2u);
    EXPECT_EQ(collection.fields[0].reportSize, 4u);
    EXPECT_EQ(collection.fields[0].reportCount, 2u);
    EXPECT_EQ(collection.fields[0].usagePage, 0x0D);
    EXPECT_THAT(collection.fields[0].usages, ElementsAre(0x000D0030u, 0x000C00E9u));
    EXPECT_EQ(collection.fields[1].bitOffset, 8u);
    EXPECT_EQ(collection.fields[1].reportSize, 8u);
    EXPECT_EQ(collection.fields[1].reportCount, 1u);
    EXPECT_THAT(collection.fields[1].usages, ElementsAre(0x00010031u));
    EXPECT_EQ(collection.inputReportByteLength, 3);

    // Values come out per element with their own pages.
    const std::vector<HidValueUsage> values = InputValueUsages(collection);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].usagePage, 0x0D);
    EXPECT_EQ(values[0].usage, 0x30);
    EXPECT_EQ(values[1].usagePage, 0x0C);
    EXPECT_EQ(values[1].usage, 0xE9);
    EXPECT_EQ(values[1].element, 1u);
    const Bytes report = {0x00, 0xA5, 0x07};
    uint32_t raw = 0;
    ASSERT_EQ(GetInputUsageValue(collection, values[0], report, raw), kHidpStatusSuccess);
    EXPECT_EQ(raw, 0x5u);
    ASSERT_EQ(GetInputUsageValue(collection, values[1], report, raw), kHidpStatusSuccess);
    EXPECT_EQ(raw, 0xAu);
    ASSERT_EQ(GetInputUsageValue(collection, values[2], report, raw), kHidpStatusSuccess);
    EXPECT_EQ(raw, 0x7u);
}

// ---- capabilities ----

TEST(ReportDescriptorTest, CapabilitiesOfRealisticDescriptors) {
    const ReportDescriptor mouse = MustParse(kMouse);
    const HidCollection& pointer = mouse.collections.at(0);
    const std::vector<HidButtonCap> mouseButtons = InputButtonCaps(pointer);
    ASSERT_EQ(mouseButtons.size(), 1u);  // the constant padding is no capability
    EXPECT_EQ(mouseButtons[0].usagePage, 0x09);
    EXPECT_EQ(mouseButtons[0].usageMin, 1);
    EXPECT_EQ(mouseButtons[0].usageMax, 5);
    EXPECT_EQ(mouseButtons[0].reportId, 0);
    const std::vector<HidValueUsage> axes = InputValueUsages(pointer);
    ASSERT_EQ(axes.size(), 3u);
    EXPECT_EQ(axes[0].usage, 0x30);
    EXPECT_EQ(axes[1].usage, 0x31);
    EXPECT_EQ(axes[2].usage, 0x38);
    EXPECT_EQ(axes[2].element, 2u);
    EXPECT_EQ(MaxInputUsageListLength(pointer, 0x09), 5u);
    EXPECT_EQ(MaxInputUsageListLength(pointer, 0x01), 0u);

    const ReportDescriptor keyboard = MustParse(kKeyboard);
    const HidCollection& keys = keyboard.collections.at(0);
    const std::vector<HidButtonCap> keyCaps = InputButtonCaps(keys);
    ASSERT_EQ(keyCaps.size(), 2u);  // the LED output is not an input capability
    EXPECT_EQ(keyCaps[0].usageMin, 0xE0);
    EXPECT_EQ(keyCaps[0].usageMax, 0xE7);
    EXPECT_EQ(keyCaps[1].usageMin, 0x00);
    EXPECT_EQ(keyCaps[1].usageMax, 0xFF);
    EXPECT_EQ(keyCaps[1].reportId, 1);
    EXPECT_TRUE(InputValueUsages(keys).empty());
    EXPECT_EQ(MaxInputUsageListLength(keys, 0x07), 8u + 6u);
    const std::vector<HidButtonCap> consumer = InputButtonCaps(keyboard.collections.at(1));
    ASSERT_EQ(consumer.size(), 1u);
    EXPECT_EQ(consumer[0].usagePage, 0x0C);
    EXPECT_EQ(consumer[0].usageMax, 0x3FF);
    EXPECT_EQ(consumer[0].reportId, 2);

    const ReportDescriptor vendor = MustParse(kVendor);
    const HidCollection& command = vendor.collections.at(0);
    EXPECT_TRUE(InputButtonCaps(command).empty());
    const std::vector<HidValueUsage> bytes = InputValueUsages(command);
    ASSERT_EQ(bytes.size(), 63u);  // one usage repeated over every element
    EXPECT_EQ(bytes.back().usagePage, 0xFF1C);
    EXPECT_EQ(bytes.back().usage, 0x01);
    EXPECT_EQ(bytes.back().element, 62u);
    EXPECT_EQ(bytes.back().reportId, 4);
    EXPECT_EQ(MaxInputUsageListLength(vendor.collections.at(1), 0x0C), 1u);
}

TEST(ReportDescriptorTest, ValueRangeYieldsOneUsagePerElementAscending) {
    const Bytes bytes = {
        0x05, 0x01, 0x09, 0x05, 0xA1, 0x01,  // Generic Desktop, Game Pad
        0x19, 0x30, 0x29, 0x32,              //   Usage X..Z
        0x15, 0x00, 0x26, 0xFF, 0x03,        //   Logical 0..1023
        0x75, 0x0A, 0x95, 0x03,              //   10 bits x 3
        0x81, 0x02,                          //   Input
        0x75, 0x02, 0x95, 0x01, 0x81, 0x03,  //   padding
        0xC0,
    };
    const ReportDescriptor descriptor = MustParse(bytes);
    const HidCollection& pad = descriptor.collections.at(0);
    const std::vector<HidValueUsage> values = InputValueUsages(pad);
    ASSERT_EQ(values.size(), 3u);
    const Bytes report = {0x00, 0xFF, 0x07, 0x50, 0xAB};  // X=1023, Y=1, Z=0x2B5
    const std::vector<std::pair<uint16_t, uint32_t>> expected = {
        {0x30, 1023}, {0x31, 1}, {0x32, 0x2B5}};
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(values[i].usage, expected[i].first);
        EXPECT_EQ(values[i].element, i);
        uint32_t raw = 0;
        EXPECT_EQ(GetInputUsageValue(pad, values[i], report, raw), kHidpStatusSuccess);
        EXPECT_EQ(raw, expected[i].second);
    }
}

// ---- decoding button usages ----

struct UsagesCase {
    const char* name;
    const Bytes* descriptor;
    size_t collection;
    uint16_t page;
    Bytes report;
    uint32_t status;
    std::vector<uint16_t> usages;
};

class GetInputUsagesTest : public ::testing::TestWithParam<UsagesCase> {};

TEST_P(GetInputUsagesTest, Decodes) {
    const UsagesCase& c = GetParam();
    const ReportDescriptor descriptor = MustParse(*c.descriptor);
    std::vector<uint16_t> usages = {0xDEAD};
    EXPECT_EQ(GetInputUsages(descriptor.collections.at(c.collection), c.page, c.report, usages),
              c.status);
    EXPECT_THAT(usages, ElementsAreArray(c.usages));
}

INSTANTIATE_TEST_SUITE_P(
    Reports, GetInputUsagesTest,
    ::testing::Values(
        UsagesCase{"MouseButtons1And3",
                   &kMouse,
                   0,
                   0x09,
                   {0x00, 0xE5, 0xFF, 0x10, 0x81},
                   kHidpStatusSuccess,
                   {1, 3}},
        UsagesCase{
            "MouseNoButtons", &kMouse, 0, 0x09, {0x00, 0x00, 0, 0, 0}, kHidpStatusSuccess, {}},
        UsagesCase{"MouseLongerReportIsFine",
                   &kMouse,
                   0,
                   0x09,
                   {0x00, 0x10, 0, 0, 0, 0xFF},
                   kHidpStatusSuccess,
                   {5}},
        UsagesCase{"MouseShortReport",
                   &kMouse,
                   0,
                   0x09,
                   {0x00, 0x01, 0, 0},
                   kHidpStatusInvalidReportLength,
                   {}},
        UsagesCase{"EmptyReport", &kMouse, 0, 0x09, {}, kHidpStatusInvalidReportLength, {}},
        UsagesCase{"MouseReportIdByteNotZero",
                   &kMouse,
                   0,
                   0x09,
                   {0x01, 0x01, 0, 0, 0},
                   kHidpStatusIncompatibleReportId,
                   {}},
        UsagesCase{"PageWithoutButtons",
                   &kMouse,
                   0,
                   0x07,
                   {0x00, 0x01, 0, 0, 0},
                   kHidpStatusUsageNotFound,
                   {}},
        // Left Shift plus keys a and b; empty key slots (0) are no usage.
        UsagesCase{"KeyboardModifiersAndKeys",
                   &kKeyboard,
                   0,
                   0x07,
                   {0x01, 0x02, 0x00, 0x04, 0x05, 0x00, 0x00, 0x00, 0x00},
                   kHidpStatusSuccess,
                   {0xE1, 0x04, 0x05}},
        UsagesCase{
            "ConsumerUsage", &kKeyboard, 1, 0x0C, {0x02, 0xE9, 0x00}, kHidpStatusSuccess, {0xE9}},
        UsagesCase{"ConsumerOutOfLogicalRange",
                   &kKeyboard,
                   1,
                   0x0C,
                   {0x02, 0x00, 0x04},
                   kHidpStatusSuccess,
                   {}},
        UsagesCase{"ConsumerGivenKeyboardReport",
                   &kKeyboard,
                   1,
                   0x0C,
                   {0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00},
                   kHidpStatusIncompatibleReportId,
                   {}},
        // Logical minimum 1: slot value 2 is the second usage of the range.
        UsagesCase{
            "SystemControlSleep", &kKeyboard, 2, 0x01, {0x03, 0x02}, kHidpStatusSuccess, {0x82}},
        UsagesCase{"SystemControlIdle", &kKeyboard, 2, 0x01, {0x03, 0x00}, kHidpStatusSuccess, {}},
        UsagesCase{"ConsumerEvent0x401",
                   &kVendor,
                   1,
                   0x0C,
                   {0x03, 0x01, 0x04},
                   kHidpStatusSuccess,
                   {0x401}},
        UsagesCase{"ConsumerEvent0x403",
                   &kVendor,
                   1,
                   0x0C,
                   {0x03, 0x03, 0x04},
                   kHidpStatusSuccess,
                   {0x403}},
        UsagesCase{"ConsumerShortReport",
                   &kVendor,
                   1,
                   0x0C,
                   {0x03, 0x01},
                   kHidpStatusInvalidReportLength,
                   {}}),
    CaseName<UsagesCase>);

TEST(ReportDescriptorTest, ValueDecodingChecksReportIdAndLength) {
    const ReportDescriptor vendor = MustParse(kVendor);
    const HidCollection& command = vendor.collections.at(0);
    const std::vector<HidValueUsage> values = InputValueUsages(command);
    ASSERT_EQ(values.size(), 63u);
    Bytes report(64, 0);
    report[0] = 4;
    report[1] = 0xA5;
    report[63] = 0x5A;
    uint32_t raw = 0;
    EXPECT_EQ(GetInputUsageValue(command, values[0], report, raw), kHidpStatusSuccess);
    EXPECT_EQ(raw, 0xA5u);
    EXPECT_EQ(GetInputUsageValue(command, values[62], report, raw), kHidpStatusSuccess);
    EXPECT_EQ(raw, 0x5Au);

    report[0] = 3;
    EXPECT_EQ(GetInputUsageValue(command, values[0], report, raw), kHidpStatusIncompatibleReportId);
    report[0] = 4;
    report.pop_back();
    EXPECT_EQ(GetInputUsageValue(command, values[62], report, raw), kHidpStatusInvalidReportLength);
    EXPECT_EQ(GetInputUsageValue(command, values[0], Bytes{}, raw), kHidpStatusInvalidReportLength);

    // A value usage that does not belong to the collection is not found.
    HidValueUsage stray = values[0];
    stray.fieldIndex = 7;
    EXPECT_EQ(GetInputUsageValue(command, stray, report, raw), kHidpStatusUsageNotFound);
    stray = values[0];
    stray.usage = 0x02;
    EXPECT_EQ(GetInputUsageValue(command, stray, report, raw), kHidpStatusUsageNotFound);
}

// ---- scaled values ----

// One-value collection: the given global items, then a single input field of that size.
Bytes OneValueDescriptor(const Bytes& globals, uint8_t reportSize) {
    Bytes bytes = {0x05, 0x01, 0x09, 0x04, 0xA1, 0x01};
    bytes.insert(bytes.end(), globals.begin(), globals.end());
    const Bytes tail = {0x75, reportSize, 0x95, 0x01, 0x09, 0x30, 0x81, 0x02, 0xC0};
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

struct ScaledCase {
    const char* name;
    Bytes globals;
    uint8_t reportSize;
    Bytes data;  // report bytes after the report ID
    uint32_t rawStatus;
    uint32_t raw;
    uint32_t scaledStatus;
    int32_t scaled;
};

class ScaledValueTest : public ::testing::TestWithParam<ScaledCase> {};

TEST_P(ScaledValueTest, Scales) {
    const ScaledCase& c = GetParam();
    const ReportDescriptor descriptor = MustParse(OneValueDescriptor(c.globals, c.reportSize));
    const HidCollection& collection = descriptor.collections.at(0);
    const std::vector<HidValueUsage> values = InputValueUsages(collection);
    ASSERT_EQ(values.size(), 1u);
    Bytes report = {0x00};
    report.insert(report.end(), c.data.begin(), c.data.end());
    uint32_t raw = 0xFFFFFFFFu;
    EXPECT_EQ(GetInputUsageValue(collection, values[0], report, raw), c.rawStatus);
    EXPECT_EQ(raw, c.raw);
    int32_t scaled = 12345;
    EXPECT_EQ(GetInputScaledUsageValue(collection, values[0], report, scaled), c.scaledStatus);
    EXPECT_EQ(scaled, c.scaled);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ScaledValueTest,
    ::testing::Values(
        // Without a physical range the logical value is the physical one.
        ScaledCase{"UnsignedByteMaxWrittenAs0xFF",
                   {0x15, 0x00, 0x25, 0xFF},
                   8,
                   {200},
                   kHidpStatusSuccess,
                   200,
                   kHidpStatusSuccess,
                   200},
        ScaledCase{"SignedByte",
                   {0x15, 0x81, 0x25, 0x7F},
                   8,
                   {0x81},
                   kHidpStatusSuccess,
                   0x81,
                   kHidpStatusSuccess,
                   -127},
        ScaledCase{"SignedWord",
                   {0x16, 0x00, 0x80, 0x26, 0xFF, 0x7F},
                   16,
                   {0x00, 0x80},
                   kHidpStatusSuccess,
                   0x8000,
                   kHidpStatusSuccess,
                   -32768},
        ScaledCase{"LinearMapUp",
                   {0x15, 0x00, 0x26, 0xFF, 0x00, 0x35, 0x00, 0x46, 0xE8, 0x03},
                   8,
                   {51},
                   kHidpStatusSuccess,
                   51,
                   kHidpStatusSuccess,
                   200},
        ScaledCase{"LinearMapTop",
                   {0x15, 0x00, 0x26, 0xFF, 0x00, 0x35, 0x00, 0x46, 0xE8, 0x03},
                   8,
                   {255},
                   kHidpStatusSuccess,
                   255,
                   kHidpStatusSuccess,
                   1000},
        ScaledCase{"LinearMapSigned",
                   {0x15, 0x9C, 0x25, 0x64, 0x36, 0x18, 0xFC, 0x46, 0xE8, 0x03},
                   8,
                   {0xC8},
                   kHidpStatusSuccess,
                   0xC8,
                   kHidpStatusSuccess,
                   -560},
        ScaledCase{"BelowLogicalRange",
                   {0x15, 0x01, 0x25, 0x0A},
                   8,
                   {0},
                   kHidpStatusSuccess,
                   0,
                   kHidpStatusValueOutOfRange,
                   0},
        ScaledCase{"AboveLogicalRange",
                   {0x15, 0x01, 0x25, 0x0A},
                   8,
                   {11},
                   kHidpStatusSuccess,
                   11,
                   kHidpStatusValueOutOfRange,
                   0},
        ScaledCase{"PhysicalRangeReversed",
                   {0x15, 0x00, 0x25, 0x0A, 0x35, 0x0A, 0x45, 0x00},
                   8,
                   {5},
                   kHidpStatusSuccess,
                   5,
                   kHidpStatusBadLogPhyValues,
                   0},
        ScaledCase{"EmptyLogicalRange",
                   {0x15, 0x05, 0x25, 0x05},
                   8,
                   {5},
                   kHidpStatusSuccess,
                   5,
                   kHidpStatusBadLogPhyValues,
                   0},
        // A 4-byte 0xFFFFFFFF maximum over a minimum of 0 is capped at the int32 maximum.
        ScaledCase{"Unsigned32BitTop",
                   {0x15, 0x00, 0x27, 0xFF, 0xFF, 0xFF, 0xFF},
                   32,
                   {0xFF, 0xFF, 0xFF, 0x7F},
                   kHidpStatusSuccess,
                   0x7FFFFFFF,
                   kHidpStatusSuccess,
                   0x7FFFFFFF},
        ScaledCase{"Unsigned32BitBeyondInt32",
                   {0x15, 0x00, 0x27, 0xFF, 0xFF, 0xFF, 0xFF},
                   32,
                   {0x00, 0x00, 0x00, 0x80},
                   kHidpStatusSuccess,
                   0x80000000u,
                   kHidpStatusValueOutOfRange,
                   0},
        ScaledCase{"WiderThan32Bits",
                   {0x15, 0x00, 0x25, 0x01},
                   40,
                   {1, 2, 3, 4, 5},
                   kHidpStatusBufferTooSmall,
                   0,
                   kHidpStatusBufferTooSmall,
                   0}),
    CaseName<ScaledCase>);

// ---- rejected descriptors ----

Bytes Repeat(uint8_t byte, size_t count) {
    return Bytes(count, byte);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

struct ErrorCase {
    const char* name;
    Bytes bytes;
    const char* message;  // expected in the error, byte offset included
};

class RejectTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(RejectTest, Rejects) {
    const ErrorCase& c = GetParam();
    ReportDescriptor descriptor;
    descriptor.usesReportIds = true;
    descriptor.collections.resize(2);
    std::string error;
    EXPECT_FALSE(ParseReportDescriptor(c.bytes, descriptor, error));
    EXPECT_THAT(error, HasSubstr(c.message));
    EXPECT_TRUE(descriptor.collections.empty());
    EXPECT_FALSE(descriptor.usesReportIds);
}

const Bytes kOpen = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01};  // a collection left open

INSTANTIATE_TEST_SUITE_P(
    Errors, RejectTest,
    ::testing::Values(
        ErrorCase{"Empty", {}, "byte 0: no top-level collection"},
        ErrorCase{"OnlyGlobals", {0x05, 0x01, 0x75, 0x08}, "byte 4: no top-level collection"},
        ErrorCase{"TruncatedShortItem", Concat({kOpen, {0x26, 0xFF}}), "byte 6: truncated item"},
        ErrorCase{
            "TruncatedFourByteItem", {0x05, 0x01, 0x27, 0x01, 0x02}, "byte 2: truncated item"},
        ErrorCase{"TruncatedLongItemHeader", {0xFE, 0x01}, "byte 0: truncated long item"},
        ErrorCase{"TruncatedLongItemData", Concat({kOpen, {0xFE, 0x04, 0x10, 0x01}}),
                  "byte 6: truncated long item data"},
        ErrorCase{"PopWithoutPush", Concat({kOpen, {0xA4, 0xB4, 0xB4, 0xC0}}),
                  "byte 8: pop without push"},
        ErrorCase{"PushOverflow", Concat({kOpen, Repeat(0xA4, 17), {0xC0}}),
                  "byte 22: push exceeds the global stack depth of 16"},
        ErrorCase{"EndWithoutCollection", Concat({kOpen, {0xC0, 0xC0}}),
                  "byte 7: end collection without collection"},
        ErrorCase{"UnclosedCollection", Concat({kOpen, {0xA1, 0x00, 0xC0}}),
                  "byte 9: unclosed collection at end of descriptor"},
        ErrorCase{"MainItemOutsideCollection",
                  {0x75, 0x08, 0x95, 0x01, 0x81, 0x02},
                  "byte 4: main item outside any collection"},
        ErrorCase{"ReportIdZero", Concat({kOpen, {0x85, 0x00}}), "byte 6: report ID 0"},
        ErrorCase{"ReportIdWide", Concat({kOpen, {0x86, 0x00, 0x01}}), "byte 6: report ID 256"},
        ErrorCase{"MixedReportIds",
                  Concat({kOpen, {0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0x85, 0x01, 0x81, 0x02}}),
                  "byte 14: reports with and without report ID"},
        ErrorCase{"ReportTooLong",
                  Concat({kOpen, {0x75, 0x20, 0x96, 0x01, 0x08, 0x81, 0x02, 0xC0}}),
                  "byte 11: report 0 longer than 8192 bytes"},
        ErrorCase{"ReportTooLongOverSeveralItems",
                  Concat({kOpen, {0x75, 0x20, 0x96, 0x01, 0x04, 0x81, 0x02, 0x81, 0x02, 0xC0}}),
                  "byte 13: report 0 longer than 8192 bytes"},
        ErrorCase{"TooManyUsages",
                  Concat({kOpen,
                          {0x19, 0x00, 0x2A, 0xFF, 0xFF, 0x09, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81,
                           0x00, 0xC0}}),
                  "byte 17: too many usages"},
        ErrorCase{"UsageMinimumAboveMaximum",
                  Concat({kOpen, {0x19, 0x05, 0x29, 0x01, 0x81, 0x00, 0xC0}}),
                  "byte 10: usage minimum above usage maximum"},
        ErrorCase{"UsageMinimumAlone", Concat({kOpen, {0x19, 0x05, 0x81, 0x00, 0xC0}}),
                  "byte 8: usage minimum without usage maximum"},
        ErrorCase{"UsageRangeAcrossPages",
                  Concat({kOpen, {0x1B, 0x01, 0x00, 0x09, 0x00, 0x29, 0x05, 0x81, 0x00, 0xC0}}),
                  "byte 13: usage range spans two usage pages"},
        ErrorCase{"DelimiterLeftOpen", Concat({kOpen, {0xA9, 0x01, 0x09, 0x30, 0x81, 0x02}}),
                  "byte 10: main item inside an open delimiter"},
        ErrorCase{"UsagePageWide", {0x07, 0x00, 0x00, 0x01, 0x00}, "byte 0: usage page"}),
    CaseName<ErrorCase>);

TEST(ReportDescriptorTest, DelimitedAlternativesKeepTheFirstSet) {
    const Bytes bytes = Concat({kOpen,
                                {
                                    0xA9, 0x01, 0x09, 0x30, 0xA9, 0x00,  // preferred: X
                                    0xA9, 0x01, 0x09, 0x31, 0xA9, 0x00,  // alternative: Y
                                    0x09, 0x38,                          // after the group
                                    0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0xC0,
                                }});
    const ReportDescriptor descriptor = MustParse(bytes);
    EXPECT_THAT(descriptor.collections.at(0).fields.at(0).usages,
                ElementsAre(0x00010030u, 0x00010038u));
}

}  // namespace
}  // namespace gmd
