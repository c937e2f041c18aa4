#include "device/command_set.h"

#include <gtest/gtest.h>

#include <numeric>

#include "device/command_report.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"
#include "tests/support/channel_fixture.h"

namespace gmd {
namespace {

using test::ChannelFixture;

struct Chunk {
    uint8_t length;
    uint16_t address;
};

std::vector<Chunk> ChunksOf(const std::vector<std::vector<uint8_t>>& writes, uint8_t command) {
    std::vector<Chunk> chunks;
    for (const auto& w : writes) {
        EXPECT_EQ(w[report_byte::kCommand], command);
        EXPECT_EQ(w[report_byte::kStatus], 0);
        EXPECT_EQ(CommandChecksum(w.data()),
                  w[report_byte::kChecksumLow] | (w[report_byte::kChecksumHigh] << 8));
        chunks.push_back({w[report_byte::kLength], ReportAddress(w.data())});
    }
    return chunks;
}

std::vector<Chunk> ExpectedChunks(size_t total, uint16_t base) {
    std::vector<Chunk> chunks;
    for (size_t offset = 0; offset < total; offset += 56) {
        chunks.push_back({static_cast<uint8_t>(std::min<size_t>(56, total - offset)),
                          static_cast<uint16_t>(base + offset)});
    }
    return chunks;
}

void ExpectSameChunks(const std::vector<Chunk>& actual, const std::vector<Chunk>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].length, expected[i].length) << "chunk " << i;
        EXPECT_EQ(actual[i].address, expected[i].address) << "chunk " << i;
    }
}

TEST_F(ChannelFixture, ChunkedCommandsLayOutTheirReports) {
    std::vector<uint8_t> buffer(512);
    std::iota(buffer.begin(), buffer.end(), uint8_t{0});
    struct Case {
        const char* name;
        uint8_t command;
        std::function<int()> run;
        size_t total;
        uint16_t base;
    };
    const Case cases[] = {
        {"ReadImage", 7, [&] { return ReadImage(channel_, buffer); }, 512, 0},
        {"ReadBankImage 0", 8, [&] { return ReadBankImage(channel_, buffer, 0); }, 512, 0},
        {"ReadBankImage 4", 8, [&] { return ReadBankImage(channel_, buffer, 4); }, 512, 504},
        {"WriteBankImage 2", 9, [&] { return WriteBankImage(channel_, buffer, 2); }, 512, 252},
        {"WriteBankImage key block", 9, [&] { return WriteBankImage(channel_, buffer, 1, 200); },
         200, 126},
        {"WriteLightFrame 45", 18,
         [&] { return WriteLightFrame(channel_, std::span(buffer).first(45)); }, 45, 0},
        {"WriteLightFrame 60", 18,
         [&] { return WriteLightFrame(channel_, std::span(buffer).first(60)); }, 60, 0},
        {"WriteMacroData 378", 21,
         [&] { return WriteMacroData(channel_, std::span(buffer).first(378)); }, 378, 0},
        {"WriteCursorData 112", 23,
         [&] { return WriteCursorData(channel_, std::span(buffer).first(112)); }, 112, 0},
        {"WriteMacroData empty", 21, [&] { return WriteMacroData(channel_, {}); }, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Link().writes.clear();
        ASSERT_EQ(c.run(), 1);
        ExpectSameChunks(ChunksOf(Writes(), c.command), ExpectedChunks(c.total, c.base));
    }
}

TEST_F(ChannelFixture, AShortLastChunkKeepsThePreviousChunksLaterBytes) {
    std::vector<uint8_t> image(512);
    std::iota(image.begin(), image.end(), uint8_t{0});
    ASSERT_EQ(WriteBankImage(channel_, image, 2), 1);
    ASSERT_EQ(Writes().size(), 10u);
    const std::vector<uint8_t>& last = Writes().back();
    EXPECT_EQ(ReportAddress(last.data()), 756);
    for (size_t i = 0; i < 56; ++i) {
        // Bytes 504..511 of the image, then what chunk 8 (offset 448) left behind.
        const size_t source = i < 8 ? 504 + i : 448 + i;
        EXPECT_EQ(last[8 + i], image[source]) << "payload byte " << i;
    }
}

TEST_F(ChannelFixture, ReadingCommandsAssembleTheReplies) {
    Link().responder = [](std::span<const uint8_t> request) -> std::optional<std::vector<uint8_t>> {
        std::vector<uint8_t> reply(request.begin(), request.end());
        const uint16_t address = ReportAddress(request.data());
        for (size_t i = 8; i < 64; ++i) {
            reply[i] = static_cast<uint8_t>(address + i - 8);
        }
        return reply;
    };
    std::vector<uint8_t> image(512, 0xEE);
    ASSERT_EQ(ReadBankImage(channel_, image, 1), 1);
    for (size_t i = 0; i < image.size(); ++i) {
        ASSERT_EQ(image[i], static_cast<uint8_t>(126 + i)) << i;
    }
    std::vector<uint8_t> block(56);
    ASSERT_EQ(ReadMemory(channel_, block, 56, 128), 1);
    EXPECT_EQ(block[0], 128);
    EXPECT_EQ(block[55], static_cast<uint8_t>(128 + 55));
}

TEST_F(ChannelFixture, SingleReportCommandsLayOutTheirReports) {
    const uint8_t select[] = {3};
    ASSERT_EQ(WriteMemory(channel_, select, 1, 0), 1);
    ASSERT_EQ(OpenSession(channel_), 1);
    ASSERT_EQ(CloseSession(channel_), 1);
    uint8_t info[kInfoBlockSize];
    ASSERT_EQ(ReadInfo(channel_, info), 1);
    ASSERT_EQ(Writes().size(), 4u);
    const std::vector<uint8_t>& w = Writes()[0];
    EXPECT_EQ(w[0], 4);
    EXPECT_EQ(w[3], 6);
    EXPECT_EQ(w[4], 1);
    EXPECT_EQ(ReportAddress(w.data()), 0);
    EXPECT_EQ(w[8], 3);
    EXPECT_EQ(w[9], 0);
    EXPECT_EQ(Writes()[1][3], 1);
    EXPECT_EQ(Writes()[2][3], 2);
    EXPECT_EQ(Writes()[3][3], 3);
    EXPECT_EQ(Writes()[3][4], 33);
    EXPECT_EQ(info[0], 0xA5);
}

TEST_F(ChannelFixture, BadArgumentsAreRefusedBeforeAnythingIsSent) {
    std::vector<uint8_t> image(512);
    std::vector<uint8_t> small(100);
    EXPECT_EQ(ReadBankImage(channel_, image, 5), kResultBadBank);
    EXPECT_EQ(WriteBankImage(channel_, image, 5), kResultBadBank);
    EXPECT_EQ(ReadBankImage(channel_, image, -1), kResultBadBank);
    EXPECT_EQ(ReadImage(channel_, small), kResultNoReply);
    EXPECT_EQ(ReadMemory(channel_, image, 57, 0), kResultNoReply);
    EXPECT_EQ(WriteMemory(channel_, small, 56, 0), 1);
    EXPECT_EQ(WriteMemory(channel_, std::span(small).first(2), 3, 0), kResultNoReply);
    EXPECT_EQ(Writes().size(), 1u);
}

TEST_F(ChannelFixture, ErrorStatusesMapToTheirCodesAndLeaveTheOutputUntouched) {
    struct Case {
        uint8_t status;
        int expected;
    };
    for (const Case c : {Case{0xFF, kResultStatusFF}, Case{0xFE, kResultStatusFE}}) {
        Link().responder = test::EchoDevice(c.status);
        uint8_t info[kInfoBlockSize] = {};
        EXPECT_EQ(ReadInfo(channel_, info), c.expected);
        EXPECT_EQ(info[0], 0);
        std::vector<uint8_t> image(512, 0);
        Link().writes.clear();
        EXPECT_EQ(ReadImage(channel_, image), c.expected);
        EXPECT_EQ(Writes().size(), 1u);  // stops at the first failing chunk, no retry
        EXPECT_EQ(image[0], 0);
    }
}

TEST_F(ChannelFixture, FactoryResetHasNoChecksumAndNoRetry) {
    Link().responder = nullptr;
    EXPECT_EQ(FactoryReset(channel_), 0);
    ASSERT_EQ(Writes().size(), 1u);
    std::vector<uint8_t> expected(64, 0);
    expected[0] = 4;
    expected[3] = 13;
    EXPECT_EQ(Writes()[0], expected);

    Link().responder = test::EchoDevice(0xFF);
    EXPECT_EQ(FactoryReset(channel_), 1);  // the status is not examined
}

// The command set against the emulated mouse: what is written reads back.
TEST(CommandSetOnEmulator, WrittenDataReadsBack) {
    VirtualHidBus bus;
    emu::EmulatedDevice mouse(DeviceKind::Mouse, bus);
    mouse.Plug();
    CDeviceChannel channel(bus.MakeBackend());
    channel.SetIdentity(kVendorId, kMouseProductId, kCommandUsage, kCommandUsagePage);
    {
        std::lock_guard lock(channel.IoLock());
        ASSERT_EQ(channel.FindAndOpen(), 1);
    }
    ASSERT_EQ(OpenSession(channel), 1);
    uint8_t info[kInfoBlockSize] = {};
    ASSERT_EQ(ReadInfo(channel, info), 1);
    EXPECT_EQ(info[info_byte::kSensorIdLow] | (info[info_byte::kSensorIdHigh] << 8), 0x3360);

    std::vector<uint8_t> image(512);
    std::iota(image.begin(), image.end(), uint8_t{7});
    ASSERT_EQ(WriteBankImage(channel, image, 3), 1);
    std::vector<uint8_t> back(512);
    ASSERT_EQ(ReadBankImage(channel, back, 3), 1);
    EXPECT_EQ(back, image);

    std::vector<uint8_t> block(56, 0x42);
    ASSERT_EQ(WriteMemory(channel, block, 56, 192), 1);
    std::vector<uint8_t> blockBack(56);
    ASSERT_EQ(ReadMemory(channel, blockBack, 56, 192), 1);
    EXPECT_EQ(blockBack, block);

    ASSERT_EQ(FactoryReset(channel), 1);
    ASSERT_EQ(ReadMemory(channel, blockBack, 56, 192), 1);
    EXPECT_EQ(blockBack, emu::EmulatedDevice::FactoryProfileBlock(DeviceKind::Mouse, 3));
    ASSERT_EQ(CloseSession(channel), 1);
}

}  // namespace
}  // namespace gmd
