#include "device/hid_device.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/fake_hid_backend.h"

namespace gmd {
namespace {

using test::FakeHidBackend;
using test::FakeNode;

TEST(ParsePathIds, MarkersAreCaseBlindAndDigitsStopAtNonHex) {
    struct Case {
        const char* path;
        uint16_t vendor;
        uint16_t product;
    };
    const Case cases[] = {
        {R"(\\?\hid#VID_0C45&PID_7643&MI_01#7&1a2b&0&0000#{4d1e55b2})", 0x0C45, 0x7643},
        {"/dev/hidraw3#vid_0c45&pid_6556&col_1", 0x0C45, 0x6556},
        {"hid#vid_0c45&mi_00", 0x0C45, 0},
        {"no markers here", 0, 0},
        {"vid_", 0, 0},
        {"vid_123456789&pid_abcdef", 0x6789, 0xCDEF},  // only the low 16 bits are kept
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseVendorId(c.path), c.vendor) << c.path;
        EXPECT_EQ(ParseProductId(c.path), c.product) << c.path;
    }
}

TEST(HidDevice, EnumerationKeepsEveryPathInOrderPastTheInitialCapacity) {
    auto backend = std::make_shared<FakeHidBackend>();
    for (int i = 0; i < 19; ++i) {
        backend->nodes.push_back(test::MouseCommandNode("fake/" + std::to_string(i)));
    }
    CHidDevice hid(backend);
    uint32_t count = 0;
    ASSERT_EQ(hid.Enumerate(count), 1);
    EXPECT_EQ(count, 19u);
    for (int i = 0; i < 19; ++i) {
        const std::string* path = hid.NextPath();
        ASSERT_NE(path, nullptr);
        EXPECT_EQ(*path, "fake/" + std::to_string(i));
    }
    EXPECT_EQ(hid.NextPath(), nullptr);
    hid.FreePathList();
    EXPECT_EQ(hid.NextPath(), nullptr);

    backend->failEnumerate = true;
    EXPECT_EQ(hid.Enumerate(count), 0);
    EXPECT_EQ(count, 0u);
}

TEST(HidDevice, OpenFillsCapabilitiesAndRefusesWhatItCannotDescribe) {
    auto backend = std::make_shared<FakeHidBackend>();
    backend->nodes.push_back(test::MouseCommandNode());
    FakeNode broken = test::MouseCommandNode("fake/broken");
    broken.descriptor.pop_back();  // unclosed collection
    backend->nodes.push_back(broken);
    CHidDevice hid(backend);

    ASSERT_EQ(hid.Open(backend->nodes[0].path, true, true, true, false), 1);
    EXPECT_TRUE(hid.IsOpen());
    EXPECT_EQ(hid.Caps().UsagePage, 0xFF1C);
    EXPECT_EQ(hid.Caps().Usage, 0x92);
    EXPECT_EQ(hid.Caps().InputReportByteLength, 64);
    EXPECT_EQ(hid.Caps().OutputReportByteLength, 64);
    EXPECT_EQ(hid.Attributes().productId, 0x7643);
    EXPECT_EQ(hid.InputReport().size(), 64u);

    EXPECT_EQ(hid.Open("fake/broken", true, true, true, false), 0);
    EXPECT_FALSE(hid.IsOpen());
    EXPECT_NE(hid.LastError().find("report descriptor"), std::string::npos) << hid.LastError();
    EXPECT_EQ(hid.Path(), "fake/broken");  // the path stays after a failed open

    EXPECT_EQ(hid.Open("fake/missing", true, false, true, false), 0);
    EXPECT_EQ(hid.Open(std::string(300, 'x'), true, false, true, false), 0);
    EXPECT_NE(hid.LastError().find("longer"), std::string::npos);

    size_t n = 0;
    uint8_t buffer[64] = {};
    EXPECT_EQ(hid.Read(buffer, sizeof buffer, 10, n), 0);  // closed
    EXPECT_EQ(hid.Write(buffer, sizeof buffer, 10, n), 0);
}

TEST(HidDevice, CloseFromAnotherThreadEndsAnInfiniteReadAtOnce) {
    auto backend = std::make_shared<FakeHidBackend>();
    backend->nodes.push_back(test::MouseCommandNode());
    CHidDevice hid(backend);
    ASSERT_EQ(hid.Open(backend->nodes[0].path, true, false, true, false), 1);

    std::atomic<int> result{-1};
    std::thread reader([&] {
        uint8_t buffer[64];
        size_t n = 99;
        result = hid.Read(buffer, sizeof buffer, kHidInfinite, n);
        EXPECT_EQ(n, 0u);
    });
    while (!hid.Reading()) {
        std::this_thread::yield();
    }
    const auto start = std::chrono::steady_clock::now();
    hid.Close();
    reader.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(hid.Reading());
}

class ConsumerDecode : public ::testing::Test {
  protected:
    void SetUp() override {
        backend_->nodes.push_back(FakeNode{"fake/cc#vid_0c45&pid_7643&col_0",
                                           {0x0C45, 0x7643, 1},
                                           test::ConsumerControlDescriptor(),
                                           0,
                                           true});
        ASSERT_EQ(hid_.Open(backend_->nodes[0].path, true, false, true, false), 1);
    }
    std::shared_ptr<FakeHidBackend> backend_ = std::make_shared<FakeHidBackend>();
    CHidDevice hid_{backend_};
};

TEST_F(ConsumerDecode, FirstUsageOfTheFirstButtonEntryIsTheEventCode) {
    ASSERT_EQ(hid_.Caps().UsagePage, 0x0C);
    ASSERT_EQ(hid_.InputReport().size(), 3u);  // report ID byte + 16 bits
    ASSERT_FALSE(hid_.InputData().empty());
    EXPECT_TRUE(hid_.InputData()[0].isButton);

    for (const uint16_t code : {uint16_t{0x401}, uint16_t{0x402}, uint16_t{0x403}}) {
        const uint8_t press[] = {0x00, static_cast<uint8_t>(code & 0xFF),
                                 static_cast<uint8_t>(code >> 8)};
        ASSERT_EQ(hid_.DecodeInputReport(press, sizeof press), 1);
        EXPECT_EQ(hid_.FirstButtonUsage(), code);
        EXPECT_TRUE(hid_.InputData()[0].isSet);
    }
    const uint8_t release[] = {0x00, 0x00, 0x00};
    ASSERT_EQ(hid_.DecodeInputReport(release, sizeof release), 1);
    EXPECT_EQ(hid_.FirstButtonUsage(), 0);
}

TEST_F(ConsumerDecode, AReportOfAnotherIdLeavesEveryEntryUnchanged) {
    const uint8_t press[] = {0x00, 0x01, 0x04};
    ASSERT_EQ(hid_.DecodeInputReport(press, sizeof press), 1);
    const std::vector<HidDataEntry> before = hid_.InputData();
    const uint8_t other[] = {0x07, 0x02, 0x04};
    EXPECT_EQ(hid_.DecodeInputReport(other, sizeof other), 1);
    ASSERT_EQ(hid_.InputData().size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(hid_.InputData()[i].usages, before[i].usages);
        EXPECT_EQ(hid_.InputData()[i].status, before[i].status);
    }
    EXPECT_EQ(hid_.FirstButtonUsage(), 0x401);
}

TEST_F(ConsumerDecode, ATruncatedReportIsReportedNotOverread) {
    const uint8_t shortReport[] = {0x00, 0x01};
    EXPECT_EQ(hid_.DecodeInputReport(shortReport, sizeof shortReport), 1);
    EXPECT_NE(hid_.InputData()[0].status, kHidpStatusSuccess);
}

}  // namespace
}  // namespace gmd
