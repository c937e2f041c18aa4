#include "device/device_channel.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <thread>

#include "device/command_report.h"
#include "device/command_set.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"
#include "tests/support/channel_fixture.h"

namespace gmd {
namespace {

using test::ChannelFixture;

TEST(CommandChecksum, SumsBytesThreeToSixtyThree) {
    CommandReport report{};
    report[0] = 4;
    report[3] = 1;
    SealReport(report.data());
    EXPECT_EQ(report[1], 1);
    EXPECT_EQ(report[2], 0);

    report.fill(0xFF);
    report[0] = 4;
    SealReport(report.data());
    EXPECT_EQ(CommandChecksum(report.data()), 15555);
    EXPECT_EQ(report[1], 0xC3);
    EXPECT_EQ(report[2], 0x3C);
}

TEST(DeviceChannel, ImageSizeAcceptsAtMost512) {
    CDeviceChannel channel(nullptr);
    EXPECT_EQ(channel.ImageSize(), 512);
    EXPECT_EQ(channel.SetImageSize(378), 1);
    EXPECT_EQ(channel.ImageSize(), 378);
    EXPECT_EQ(channel.SetImageSize(512), 1);
    EXPECT_EQ(channel.SetImageSize(513), 0);
    EXPECT_EQ(channel.ImageSize(), 512);
}

TEST(DeviceChannel, NotConnectedSendsNothing) {
    auto backend = std::make_shared<test::FakeHidBackend>();
    CDeviceChannel channel(backend);
    uint8_t request[64] = {4, 0, 0, 1};
    uint8_t reply[64];
    size_t n = 7;
    EXPECT_EQ(channel.Transact(request, 64, reply, 64, n), 0);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(channel.TransactOnce(request, 64), 0);
    EXPECT_EQ(backend->link->WriteCount(), 0u);
}

TEST_F(ChannelFixture, RequestsArePaddedOrCutToSixtyFourBytes) {
    std::array<uint8_t, 80> request{};
    for (size_t i = 0; i < request.size(); ++i) {
        request[i] = static_cast<uint8_t>(i + 1);
    }
    uint8_t reply[64];
    size_t n = 0;
    for (size_t length : {size_t{11}, size_t{80}}) {
        Link().writes.clear();
        ASSERT_EQ(channel_.Transact(request.data(), length, reply, 64, n), 1);
        EXPECT_EQ(n, 64u);
        ASSERT_EQ(Writes().size(), 1u);
        const std::vector<uint8_t>& sent = Writes()[0];
        ASSERT_EQ(sent.size(), 64u);
        for (size_t i = 0; i < 64; ++i) {
            EXPECT_EQ(sent[i], i < length ? request[i] : 0) << "length " << length << " byte " << i;
        }
    }
}

TEST_F(ChannelFixture, ASilentDeviceCostsFourTriesAndStaysConnected) {
    Link().responder = nullptr;
    uint8_t request[64] = {4, 1, 0, 1};
    uint8_t reply[64];
    size_t n = 0;
    EXPECT_EQ(channel_.Transact(request, 64, reply, 64, n), 0);
    EXPECT_EQ(Writes().size(), 4u);
    EXPECT_EQ(Link().writeTimeouts, (std::vector<uint32_t>(4, 1000)));
    EXPECT_EQ(Link().readTimeouts, (std::vector<uint32_t>(4, 300)));
    EXPECT_TRUE(channel_.IsConnected());
}

TEST_F(ChannelFixture, AFailedWriteGivesMinusOneAndMarksThePathForRedetection) {
    Link().failWrites = true;
    uint8_t request[64] = {4, 1, 0, 1};
    uint8_t reply[64];
    size_t n = 0;
    EXPECT_EQ(channel_.Transact(request, 64, reply, 64, n), -1);
    EXPECT_EQ(Writes().size(), 1u);  // no further tries
    EXPECT_EQ(channel_.Hid().Path(), " ");
    EXPECT_FALSE(channel_.Hid().IsPathPresent(channel_.Hid().Path()));
}

TEST_F(ChannelFixture, AStaleReplyIsNotTakenForTheNextOne) {
    // A reply that came after its request gave up is still queued.
    std::vector<uint8_t> stale(64, 0x11);
    stale[0] = 4;
    Link().Push(stale);
    uint8_t info[kInfoBlockSize] = {};
    ASSERT_EQ(ReadInfo(channel_, info), 1);
    EXPECT_EQ(info[0], 0xA5);  // the echo device's payload, not the stale report's
}

TEST_F(ChannelFixture, FindAndOpenSkipsInterfacesThatDoNotMatchTheIdentity) {
    auto backend = std::make_shared<test::FakeHidBackend>();
    backend->nodes.push_back(test::MouseCommandNode("fake/kb#vid_0c45&pid_6556&col_0"));
    backend->nodes.back().attributes.productId = 0x6556;
    backend->nodes.push_back(test::MouseCommandNode("fake/other#vid_046d&pid_7643&col_0"));
    backend->nodes.push_back(test::MouseCommandNode("fake/ms#vid_0c45&pid_7643&col_0"));
    CDeviceChannel channel(backend);
    channel.SetIdentity(kVendorId, kMouseProductId, kCommandUsage, kCommandUsagePage);
    std::lock_guard lock(channel.IoLock());
    ASSERT_EQ(channel.FindAndOpen(), 1);
    // The keyboard was opened and closed again after the identity check; the foreign vendor
    // was never opened.
    EXPECT_EQ(backend->opened, (std::vector<std::string>{"fake/kb#vid_0c45&pid_6556&col_0",
                                                         "fake/ms#vid_0c45&pid_7643&col_0"}));
    EXPECT_EQ(channel.Hid().Path(), "fake/ms#vid_0c45&pid_7643&col_0");
    EXPECT_EQ(channel.Hid().PathCount(), 0u);  // list freed

    CDeviceChannel none(backend);
    none.SetIdentity(kVendorId, kMousepadProductId, kCommandUsage, kCommandUsagePage);
    EXPECT_EQ(none.FindAndOpen(), 0);
    EXPECT_FALSE(none.IsConnected());
}

TEST_F(ChannelFixture, AFruitlessSearchNotesTheNodesThatRefusedToOpen) {
    auto backend = std::make_shared<test::FakeHidBackend>();
    backend->nodes.push_back(test::MouseCommandNode("/dev/hidraw3#vid_0c45&pid_7643&col_0"));
    backend->nodes.back().openError = EACCES;
    CDeviceChannel channel(backend);
    channel.SetIdentity(kVendorId, kMouseProductId, kCommandUsage, kCommandUsagePage);
    std::unique_lock lock(channel.IoLock());
    EXPECT_EQ(channel.FindAndOpen(), 0);
    const std::vector<HidBlockedNode> blocked = channel.BlockedNodes();
    ASSERT_EQ(blocked.size(), 1u);
    EXPECT_EQ(blocked[0].node, "/dev/hidraw3");
    EXPECT_EQ(blocked[0].error, EACCES);

    // Once the user may open it (the rule installed, the device plugged in again), it opens
    // and nothing is blocked any more.
    backend->nodes.back().openError = 0;
    EXPECT_EQ(channel.FindAndOpen(), 1);
    EXPECT_TRUE(channel.BlockedNodes().empty());
}

// Real timing and threads: the emulated mouse on the virtual bus.
class EmulatedChannel : public ::testing::Test {
  protected:
    void SetUp() override {
        mouse_.Plug();
        channel_.SetIdentity(kVendorId, kMouseProductId, kCommandUsage, kCommandUsagePage);
        std::lock_guard lock(channel_.IoLock());
        ASSERT_EQ(channel_.FindAndOpen(), 1);
    }
    VirtualHidBus bus_;
    emu::EmulatedDevice mouse_{DeviceKind::Mouse, bus_};
    CDeviceChannel channel_{bus_.MakeBackend()};
};

TEST_F(EmulatedChannel, NoReplyWaitsFourReadTimeOutsAndStaysConnected) {
    mouse_.InjectFault(emu::Fault::NoReply, 4);
    uint8_t info[kInfoBlockSize] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadInfo(channel_, info), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4 * 300));
    EXPECT_TRUE(channel_.IsConnected());
    EXPECT_EQ(ReadInfo(channel_, info), 1);
}

TEST_F(EmulatedChannel, RepliesPairWithRequestsAcrossThreads) {
    // Two threads read different settings blocks at once; each must get its own block back.
    std::vector<uint8_t> blockA(56, 0x3A), blockB(56, 0x5B);
    ASSERT_EQ(WriteMemory(channel_, blockA, 56, 64), 1);
    ASSERT_EQ(WriteMemory(channel_, blockB, 56, 128), 1);
    auto worker = [this](uint16_t address, uint8_t expected, int& mismatches) {
        std::vector<uint8_t> data(56);
        for (int i = 0; i < 200; ++i) {
            if (ReadMemory(channel_, data, 56, address) != 1 || data[10] != expected) {
                ++mismatches;
            }
        }
    };
    int mismatchesA = 0, mismatchesB = 0;
    std::thread a(worker, uint16_t{64}, uint8_t{0x3A}, std::ref(mismatchesA));
    std::thread b(worker, uint16_t{128}, uint8_t{0x5B}, std::ref(mismatchesB));
    a.join();
    b.join();
    EXPECT_EQ(mismatchesA, 0);
    EXPECT_EQ(mismatchesB, 0);
}

}  // namespace
}  // namespace gmd
