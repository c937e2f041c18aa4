#include "mouse/mouse_device.h"

#include <gtest/gtest.h>

#include <numeric>

#include "device/command_report.h"
#include "device/command_set.h"
#include "device/device_identity.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"
#include "tests/support/channel_fixture.h"

namespace gmd::mouse {
namespace {

struct Request {
    uint8_t command;
    uint8_t length;
    uint16_t address;
    bool operator==(const Request&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Request& r) {
    return out << "{command " << int{r.command} << ", length " << int{r.length} << ", address "
               << r.address << "}";
}

Request RequestOf(const uint8_t* report) {
    return {report[report_byte::kCommand], report[report_byte::kLength], ReportAddress(report)};
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t offset, size_t length) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(offset),
            bytes.begin() + static_cast<std::ptrdiff_t>(offset + length)};
}

template <typename Array>
std::vector<uint8_t> Head(const Array& bytes, size_t length) {
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)};
}

// The virtual mouse on the in-process bus, with the host's channel open on it.
class MouseDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        mouse_.Plug();
        channel_.SetIdentity(kVendorId, kMouseProductId, kCommandUsage, kCommandUsagePage);
        std::lock_guard lock(channel_.IoLock());
        ASSERT_EQ(channel_.FindAndOpen(), 1);
    }

    std::vector<emu::TrafficRecord> HostReports() {
        std::vector<emu::TrafficRecord> reports;
        for (const emu::TrafficRecord& record : mouse_.TrafficLog()) {
            if (record.fromHost) {
                reports.push_back(record);
            }
        }
        return reports;
    }
    std::vector<Request> HostRequests() {
        std::vector<Request> requests;
        for (const emu::TrafficRecord& record : HostReports()) {
            requests.push_back(RequestOf(record.report.data()));
        }
        return requests;
    }
    void SelectOnMouse(uint8_t index) {
        ASSERT_EQ(WriteMemory(channel_, std::span<const uint8_t>(&index, 1), 1, 0), kResultSuccess);
        mouse_.ClearTrafficLog();
    }

    VirtualHidBus bus_;
    emu::EmulatedDevice mouse_{DeviceKind::Mouse, bus_};
    CDeviceChannel channel_{bus_.MakeBackend()};
    MouseBlocks blocks_;
};

TEST_F(MouseDeviceTest, ReadOutFillsTheBlocksFromTheMouse) {
    std::iota(blocks_.mouseHostBlock[0].begin(), blocks_.mouseHostBlock[0].end(), uint8_t{1});
    blocks_.mouseLive.fill(0xEE);

    ReadOutMouse(channel_, blocks_);

    EXPECT_EQ(blocks_.mouseInfo, mouse_.InfoBlock());
    EXPECT_EQ(blocks_.SensorId(), 0x3360);
    EXPECT_EQ(Head(blocks_.mouseCurrentImage, kImageSize), mouse_.CurrentImage());
    const std::vector<uint8_t> banks = mouse_.BankMemory();
    for (size_t bank = 0; bank < kProfileCount; ++bank) {
        EXPECT_EQ(Head(blocks_.mouseBankImage[bank], kImageSize),
                  Slice(banks, bank * 126, kImageSize))
            << "bank " << bank;
    }
    // The live block comes from host block 0 (the stored device profile), on profile 0.
    std::vector<uint8_t> expectedLive = Head(blocks_.mouseHostBlock[0], kLiveSize);
    expectedLive[0] = 0;
    EXPECT_EQ(Head(blocks_.mouseLive, kLiveSize), expectedLive);
    EXPECT_TRUE(blocks_.fullRefresh);

    const std::vector<Request> requests = HostRequests();
    ASSERT_EQ(requests.size(), 1u + 1u + 10u + 5u * 10u + 1u);
    EXPECT_EQ(requests.front().command, 1);
    EXPECT_EQ(requests[1].command, 3);
    EXPECT_EQ(requests.back().command, 2);
    EXPECT_FALSE(mouse_.SessionOpen());
}

TEST_F(MouseDeviceTest, SwitchOnlyWhereThereIsSomethingToSwitch) {
    SelectOnMouse(2);
    blocks_.mouseLive.fill(0x33);
    blocks_.mouseLive[0] = 2;
    const LiveBlock liveBefore = blocks_.mouseLive;

    EXPECT_EQ(SwitchOnboardProfile(channel_, blocks_, 2), SwitchOutcome::AlreadyActive);
    EXPECT_EQ(HostRequests(), (std::vector<Request>{{5, 1, 0}}));

    mouse_.ClearTrafficLog();
    for (const int index : {7, 5, -1}) {
        EXPECT_EQ(SwitchOnboardProfile(channel_, blocks_, index), SwitchOutcome::Ignored);
    }
    EXPECT_TRUE(mouse_.TrafficLog().empty());
    EXPECT_EQ(blocks_.mouseLive, liveBefore);
    for (const HostBlock& block : blocks_.mouseHostBlock) {
        EXPECT_EQ(block, HostBlock{});
    }
}

TEST_F(MouseDeviceTest, SwitchSavesTheLiveBlockAndLoadsTheNewProfile) {
    std::iota(blocks_.mouseLive.begin(), blocks_.mouseLive.end(), uint8_t{100});
    blocks_.mouseLive[0] = 0;
    const LiveBlock liveBefore = blocks_.mouseLive;

    EXPECT_EQ(SwitchOnboardProfile(channel_, blocks_, 3), SwitchOutcome::Switched);

    EXPECT_EQ(HostRequests(), (std::vector<Request>{{5, 1, 0}, {6, 1, 0}, {5, 56, 192}}));
    EXPECT_EQ(HostReports()[1].report[kReportPayloadOffset], 3);  // the selection written
    EXPECT_EQ(mouse_.SettingsMemory()[0], 3);

    EXPECT_EQ(Head(blocks_.mouseHostBlock[0], kLiveSize), Head(liveBefore, kLiveSize));
    std::vector<uint8_t> block3 = Slice(mouse_.SettingsMemory(), 192, 56);
    block3[0] = 3;
    EXPECT_EQ(Head(blocks_.mouseHostBlock[3], 56), block3);
    EXPECT_EQ(blocks_.mouseLive[0], 3);
    EXPECT_EQ(Head(blocks_.mouseLive, kLiveSize), Head(block3, kLiveSize));
    EXPECT_EQ(blocks_.mouseLive[live::lightMode], 3);  // profile 3's own lighting
}

TEST_F(MouseDeviceTest, RefreshOnRequestAsksForAFullRefreshOnlyWhenTheLightModeChanged) {
    const std::vector<uint8_t> block0 = Slice(mouse_.SettingsMemory(), 0, 56);
    for (const bool changeMode : {false, true}) {
        MouseBlocks blocks;
        std::iota(blocks.mouseLive.begin(), blocks.mouseLive.end(), uint8_t{1});
        blocks.mouseLive[0] = 2;
        blocks.mouseLive[live::lightMode] =
            changeMode ? uint8_t(block0[live::lightMode] + 1) : block0[live::lightMode];
        const LiveBlock liveBefore = blocks.mouseLive;
        mouse_.ClearTrafficLog();

        EXPECT_EQ(RefreshMouseOnRequest(channel_, blocks), changeMode);
        EXPECT_EQ(blocks.fullRefresh, changeMode);

        EXPECT_EQ(HostRequests(), (std::vector<Request>{{5, 1, 0}, {5, 56, 0}}));
        EXPECT_EQ(Head(blocks.mouseHostBlock[2], kLiveSize), Head(liveBefore, kLiveSize));
        EXPECT_EQ(Head(blocks.mouseHostBlock[0], 56), block0);
        EXPECT_EQ(Head(blocks.mouseLive, kLiveSize), Head(block0, kLiveSize));
        EXPECT_EQ(blocks.mouseLive[0], 0);
    }
}

TEST_F(MouseDeviceTest, SendLiveWritesTheLiveBlockAndTenZeroBytes) {
    std::iota(blocks_.mouseLive.begin(), blocks_.mouseLive.end(), uint8_t{1});
    blocks_.mouseLive[0] = 1;

    EXPECT_EQ(SendMouseLive(channel_, blocks_), kResultSuccess);

    const std::vector<emu::TrafficRecord> reports = HostReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(RequestOf(reports[0].report.data()), (Request{6, 56, 0}));
    const std::vector<uint8_t> payload(reports[0].report.begin() + kReportPayloadOffset,
                                       reports[0].report.end());
    EXPECT_EQ(Head(payload, kLiveSize), Head(blocks_.mouseLive, kLiveSize));
    EXPECT_EQ(Slice(payload, kLiveSize, 10), std::vector<uint8_t>(10, 0));
    EXPECT_EQ(Slice(mouse_.SettingsMemory(), 0, 56), payload);
}

// On the scripted backend, where single requests can be made to fail or answer oddly.
class ScriptedMouseTest : public test::ChannelFixture {
  protected:
    // Answers like the echoing device, except where `answer` gives a payload byte 0 or a status.
    struct Answer {
        std::optional<uint8_t> status;
        std::optional<uint8_t> firstByte;
    };
    void Script(std::function<Answer(const Request&)> answer) {
        Link().responder =
            [answer](std::span<const uint8_t> request) -> std::optional<std::vector<uint8_t>> {
            std::vector<uint8_t> reply(kReportSize, 0xA5);
            std::copy_n(request.begin(), report_byte::kStatus, reply.begin());
            reply[report_byte::kStatus] = 0;
            const Answer a = answer(RequestOf(request.data()));
            if (a.status) {
                reply[report_byte::kStatus] = *a.status;
            }
            if (a.firstByte) {
                reply[kReportPayloadOffset] = *a.firstByte;
            }
            return reply;
        };
    }
    std::vector<Request> Requests() {
        std::vector<Request> requests;
        for (const auto& write : Writes()) {
            requests.push_back(RequestOf(write.data()));
        }
        return requests;
    }
    MouseBlocks blocks_;
};

TEST_F(ScriptedMouseTest, FailedReadsLeaveTheirBuffersAsTheyWere) {
    // The current image's second chunk fails: the first chunk must not reach the image, and the
    // read-out ends there, the device marked failed for the detection thread to detach.
    Script([](const Request& r) {
        return Answer{
            r.command == 7 && r.address == 56 ? std::optional<uint8_t>(0xFF) : std::nullopt,
            std::nullopt};
    });
    EXPECT_EQ(ReadOutMouse(channel_, blocks_), kResultStatusFF);
    EXPECT_EQ(blocks_.mouseCurrentImage, InitialCurrentImage());
    EXPECT_EQ(blocks_.mouseBankImage[4], Image{});
    EXPECT_EQ(blocks_.mouseInfo[0], 0xA5);
    EXPECT_EQ(channel_.Hid().Path(), " ");
    {
        std::lock_guard lock(channel_.IoLock());
        channel_.SetConnected(false);
        ASSERT_EQ(channel_.FindAndOpen(), 1);  // as the detection thread's next pass does
    }

    // The mouse's request to refresh gets no block back: host block 0 keeps the host's copy.
    Script([](const Request& r) {
        return Answer{
            r.command == 5 && r.length == 56 ? std::optional<uint8_t>(0xFE) : std::nullopt,
            std::nullopt};
    });
    blocks_.mouseHostBlock[0].fill(0x42);
    blocks_.mouseLive.fill(0x42);
    blocks_.mouseLive[0] = 0;
    RefreshMouseOnRequest(channel_, blocks_);
    HostBlock expected;
    expected.fill(0x42);
    expected[0] = 0;
    EXPECT_EQ(blocks_.mouseHostBlock[0], expected);
    EXPECT_EQ(blocks_.mouseLive[live::lightMode], 0x42);
}

TEST_F(ScriptedMouseTest, AMuteMouseCostsOneTransactionsTriesNotTheWholeReadOut) {
    Link().responder = [](std::span<const uint8_t>) -> std::optional<std::vector<uint8_t>> {
        return std::nullopt;
    };
    for (const bool refresh : {false, true}) {
        SCOPED_TRACE(refresh ? "refresh" : "read-out");
        {
            std::lock_guard lock(channel_.IoLock());
            channel_.SetConnected(false);
            ASSERT_EQ(channel_.FindAndOpen(), 1);
        }
        const size_t before = Writes().size();
        if (refresh) {
            EXPECT_FALSE(RefreshMouseOnRequest(channel_, blocks_));
        } else {
            EXPECT_EQ(ReadOutMouse(channel_, blocks_), kResultNoReply);
        }
        EXPECT_EQ(Writes().size() - before, static_cast<size_t>(kTransactTries));
        // Whatever comes next (the live block's send, say) does not wait for it again.
        EXPECT_EQ(SendMouseLive(channel_, blocks_), kResultNoReply);
        EXPECT_EQ(Writes().size() - before, static_cast<size_t>(kTransactTries));
        EXPECT_EQ(channel_.Hid().Path(), " ");
    }
}

TEST_F(ScriptedMouseTest, SwitchFromAProfileTheHostKeepsNoBlockFor) {
    // The mouse reports profile 7: there is no host block 7 to save the live block into.
    Script([](const Request& r) {
        return Answer{std::nullopt,
                      r.command == 5 && r.length == 1 ? std::optional<uint8_t>(7) : std::nullopt};
    });
    for (HostBlock& block : blocks_.mouseHostBlock) {
        block.fill(0x11);
    }
    blocks_.mouseLive.fill(0x22);

    EXPECT_EQ(SwitchOnboardProfile(channel_, blocks_, 1), SwitchOutcome::Switched);

    EXPECT_EQ(Requests(), (std::vector<Request>{{5, 1, 0}, {6, 1, 0}, {5, 56, 64}}));
    for (const size_t untouched : {0u, 2u, 3u, 4u}) {
        HostBlock expected;
        expected.fill(0x11);
        EXPECT_EQ(blocks_.mouseHostBlock[untouched], expected) << "host block " << untouched;
    }
    EXPECT_EQ(blocks_.mouseHostBlock[1][0], 1);
    EXPECT_EQ(blocks_.mouseHostBlock[1][1], 0xA5);
    EXPECT_EQ(blocks_.mouseLive[0], 1);
    EXPECT_EQ(blocks_.mouseLive[1], 0xA5);
}

}  // namespace
}  // namespace gmd::mouse
