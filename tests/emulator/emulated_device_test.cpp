#include "emulator/emulated_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include "device/command_report.h"
#include "device/report_descriptor.h"

namespace gmd::emu {
namespace {

using namespace std::chrono_literals;
using Clock = VirtualHidBus::Clock;

constexpr uint16_t kCommandPage = 0xFF1C;
constexpr uint16_t kConsumerPage = 0x0C;

struct OpenedCollection {
    std::unique_ptr<HidConnection> connection;
    HidCollection collection;
    std::string path;
};

// Finds the collection of the given usage page as a host would and opens it.
std::optional<OpenedCollection> OpenByUsagePage(HidBackend& backend, uint16_t usagePage) {
    std::vector<std::string> paths;
    if (!backend.Enumerate(paths)) {
        return std::nullopt;
    }
    for (const std::string& path : paths) {
        HidNodeInfo info;
        std::string error;
        ReportDescriptor descriptor;
        if (!backend.Describe(path, info, error) ||
            !ParseReportDescriptor(info.reportDescriptor, descriptor, error) ||
            info.collectionIndex >= descriptor.collections.size()) {
            continue;
        }
        HidCollection& collection = descriptor.collections[info.collectionIndex];
        if (collection.usagePage != usagePage) {
            continue;
        }
        HidReportFilter filter{descriptor.usesReportIds, collection.inputReportIds};
        auto connection = backend.Open(path, {true, true, true, false}, filter, error);
        if (!connection) {
            return std::nullopt;
        }
        return OpenedCollection{std::move(connection), std::move(collection), path};
    }
    return std::nullopt;
}

CommandReport MakeRequest(uint8_t command, uint8_t length, uint16_t address,
                          const std::vector<uint8_t>& payload = {}) {
    CommandReport report{};
    report[report_byte::kReportId] = kCommandReportId;
    report[report_byte::kCommand] = command;
    report[report_byte::kLength] = length;
    SetReportAddress(report.data(), address);
    std::copy(payload.begin(), payload.end(), report.begin() + kReportPayloadOffset);
    SealReport(report.data());
    return report;
}

std::vector<uint8_t> Payload(const CommandReport& reply, size_t length) {
    return {reply.begin() + kReportPayloadOffset,
            reply.begin() + static_cast<std::ptrdiff_t>(kReportPayloadOffset + length)};
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t offset, size_t length) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(offset),
            bytes.begin() + static_cast<std::ptrdiff_t>(offset + length)};
}

class EmulatedDeviceTest : public ::testing::Test {
  protected:
    EmulatedDeviceTest() : device_(DeviceKind::Mouse, bus_), backend_(bus_.MakeBackend()) {
        device_.Plug();
        auto opened = OpenByUsagePage(*backend_, kCommandPage);
        EXPECT_TRUE(opened);
        if (opened) {
            command_ = std::move(*opened);
        }
    }

    // Writes a request and waits for one reply; nullopt when the write fails or no reply came.
    std::optional<CommandReport> Transact(const CommandReport& request,
                                          uint32_t replyTimeoutMs = 2000) {
        size_t n = 0;
        if (command_.connection->Write(request.data(), request.size(), 1000, n) != 1) {
            return std::nullopt;
        }
        CommandReport reply{};
        if (command_.connection->Read(reply.data(), reply.size(), replyTimeoutMs, n) != 1 ||
            n != reply.size()) {
            return std::nullopt;
        }
        return reply;
    }

    uint8_t Status(const CommandReport& request) {
        const auto reply = Transact(request);
        EXPECT_TRUE(reply);
        return reply ? (*reply)[report_byte::kStatus] : uint8_t{0xAA};
    }

    VirtualHidBus bus_;
    EmulatedDevice device_;
    std::unique_ptr<HidBackend> backend_;
    OpenedCollection command_;
};

TEST_F(EmulatedDeviceTest, InfoReplyEchoesTheHeaderAndCarriesTheMouseInfoBlock) {
    const CommandReport request = MakeRequest(3, 33, 0);
    const auto reply = Transact(request);
    ASSERT_TRUE(reply);
    for (const size_t i : {report_byte::kReportId, report_byte::kCommand, report_byte::kLength,
                           report_byte::kAddressLow, report_byte::kAddressHigh}) {
        EXPECT_EQ((*reply)[i], request[i]) << "byte " << i;
    }
    EXPECT_EQ((*reply)[report_byte::kStatus], 0);
    const uint16_t checksum = static_cast<uint16_t>((*reply)[1] | ((*reply)[2] << 8));
    EXPECT_EQ(checksum, CommandChecksum(reply->data()));

    const std::vector<uint8_t> info = Payload(*reply, kInfoBlockSize);
    const auto expected = device_.InfoBlock();
    EXPECT_EQ(info, std::vector<uint8_t>(expected.begin(), expected.end()));
    EXPECT_EQ(info[5], 6);                         // keys
    EXPECT_EQ(info[6], 32);                        // macro memory, 128-byte units
    EXPECT_EQ(info[9] | (info[10] << 8), 0x3360);  // sensor
    EXPECT_EQ(info[12], 239);                      // 12000 DPI
    EXPECT_EQ(device_.MacroMemory().size(), 32u * 128u);

    EXPECT_FALSE(device_.SessionOpen());
    EXPECT_EQ(Status(MakeRequest(1, 0, 0)), 0);
    EXPECT_TRUE(device_.SessionOpen());
    EXPECT_EQ(Status(MakeRequest(2, 0, 0)), 0);
    EXPECT_FALSE(device_.SessionOpen());
}

TEST_F(EmulatedDeviceTest, SettingsWriteReadRoundTripAndProfileSelectByte) {
    EXPECT_EQ(device_.SettingsMemory()[0], 0);
    const std::vector<uint8_t> factory1 = EmulatedDevice::FactoryProfileBlock(DeviceKind::Mouse, 1);
    auto reply = Transact(MakeRequest(5, 56, 64));
    ASSERT_TRUE(reply);
    EXPECT_EQ(Payload(*reply, 56), factory1);
    EXPECT_EQ(factory1[0], 1);
    EXPECT_EQ(factory1[15], 15);  // 800 DPI
    EXPECT_EQ(factory1[14], 3);   // report rate index

    std::vector<uint8_t> block(56);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<uint8_t>(i * 3 + 1);
    }
    ASSERT_EQ(Status(MakeRequest(6, 56, 128, block)), 0);
    reply = Transact(MakeRequest(5, 56, 128));
    ASSERT_TRUE(reply);
    EXPECT_EQ(Payload(*reply, 56), block);
    EXPECT_EQ(Slice(device_.SettingsMemory(), 128, 56), block);

    // Byte 0 is the current profile, shared with profile 0's block.
    ASSERT_EQ(Status(MakeRequest(6, 1, 0, {3})), 0);
    reply = Transact(MakeRequest(5, 1, 0));
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[8], 3);
    EXPECT_EQ(device_.SettingsMemory()[0], 3);
    EXPECT_EQ(Status(MakeRequest(6, 1, 0, {5})), 0xFF);
    EXPECT_EQ(device_.SettingsMemory()[0], 3);
}

TEST_F(EmulatedDeviceTest, CurrentImageReadsIn56ByteChunks) {
    std::vector<uint8_t> image;
    int reports = 0;
    for (size_t offset = 0; offset < kImageSize; offset += 56) {
        const auto length = static_cast<uint8_t>(std::min<size_t>(56, kImageSize - offset));
        const auto reply = Transact(MakeRequest(7, length, static_cast<uint16_t>(offset)));
        ASSERT_TRUE(reply);
        ASSERT_EQ((*reply)[report_byte::kStatus], 0);
        const auto chunk = Payload(*reply, length);
        image.insert(image.end(), chunk.begin(), chunk.end());
        ++reports;
    }
    EXPECT_EQ(reports, 10);
    EXPECT_EQ(image, EmulatedDevice::FactoryImage(DeviceKind::Mouse));
    EXPECT_EQ(image, device_.CurrentImage());
    EXPECT_EQ(Slice(image, 0, 6), (std::vector<uint8_t>{0x10, 0x01, 0x00, 0x10, 0x04, 0x00}));
    EXPECT_EQ(Slice(image, 15, 3), (std::vector<uint8_t>{0x13, 0x03, 0x00}));
    EXPECT_EQ(image[18], 0x05);
    EXPECT_EQ(image[509], 0x05);
    EXPECT_EQ(image[510], 0);
    EXPECT_EQ(image[511], 0);
}

TEST_F(EmulatedDeviceTest, BankMemoryIsFlatAtBankTimes126PlusOffset) {
    // Every bank starts with the factory buttons.
    const std::vector<uint8_t> buttons =
        Slice(EmulatedDevice::FactoryImage(DeviceKind::Mouse), 0, 18);
    for (size_t bank = 0; bank < 5; ++bank) {
        EXPECT_EQ(Slice(device_.BankMemory(), bank * 126, 18), buttons) << "bank " << bank;
    }

    const std::vector<uint8_t> chunk(56, 0x42);
    const uint16_t bank2Last = 2 * 126 + 504;  // last chunk of bank 2
    ASSERT_EQ(Status(MakeRequest(9, 8, bank2Last, chunk)), 0);
    ASSERT_EQ(Status(MakeRequest(9, 56, 2 * 126, chunk)), 0);
    const auto memory = device_.BankMemory();
    EXPECT_EQ(Slice(memory, 252, 56), chunk);
    EXPECT_EQ(Slice(memory, 756, 8), std::vector<uint8_t>(8, 0x42));
    EXPECT_NE(memory[764], 0x42);

    // Banks overlap: bank 1's offset 126 is bank 2's offset 0.
    const auto reply = Transact(MakeRequest(8, 56, 1 * 126 + 126));
    ASSERT_TRUE(reply);
    EXPECT_EQ(Payload(*reply, 56), chunk);
    // The current image is kept apart from the banks.
    EXPECT_EQ(device_.CurrentImage(), EmulatedDevice::FactoryImage(DeviceKind::Mouse));

    // The last byte of bank 4 is the end of the memory.
    EXPECT_EQ(Status(MakeRequest(8, 8, 4 * 126 + 504)), 0);
    EXPECT_EQ(Status(MakeRequest(8, 9, 4 * 126 + 504)), 0xFF);
}

struct RejectCase {
    const char* name;
    CommandReport request;
};

TEST_F(EmulatedDeviceTest, RejectsBadRequestsWithStatusFFAndChangesNothing) {
    CommandReport badChecksum = MakeRequest(6, 1, 64, {9});
    badChecksum[1] ^= 0x01;
    const std::vector<RejectCase> cases = {
        {"bad checksum", badChecksum},
        {"unknown command", MakeRequest(4, 0, 0)},
        {"read count above 56", MakeRequest(5, 57, 0)},
        {"read past settings", MakeRequest(5, 56, 300)},
        {"write past settings", MakeRequest(6, 2, 319, {1, 2})},
        {"image past its end", MakeRequest(7, 8, 508)},
        {"bank write past memory", MakeRequest(9, 56, 1000, std::vector<uint8_t>(56, 1))},
        {"macro past memory", MakeRequest(21, 8, 32 * 128 - 4, std::vector<uint8_t>(8, 1))},
        {"cursor past memory", MakeRequest(23, 1, 3072, {1})},
        {"light chunk leaving a gap", MakeRequest(18, 4, 100, {1, 2, 3, 4})},
    };
    const auto settings = device_.SettingsMemory();
    const auto banks = device_.BankMemory();
    const auto macros = device_.MacroMemory();
    for (const RejectCase& c : cases) {
        const auto reply = Transact(c.request);
        ASSERT_TRUE(reply) << c.name;
        EXPECT_EQ((*reply)[report_byte::kStatus], 0xFF) << c.name;
        EXPECT_EQ((*reply)[report_byte::kCommand], c.request[report_byte::kCommand]) << c.name;
    }
    EXPECT_EQ(device_.SettingsMemory(), settings);
    EXPECT_EQ(device_.BankMemory(), banks);
    EXPECT_EQ(device_.MacroMemory(), macros);
    EXPECT_TRUE(device_.LastLightFrame().empty());
}

TEST_F(EmulatedDeviceTest, StreamsKeepLightFramesMacrosAndCursorData) {
    std::vector<uint8_t> frame(60);
    for (size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<uint8_t>(200 - i);
    }
    ASSERT_EQ(Status(MakeRequest(18, 56, 0, Slice(frame, 0, 56))), 0);
    ASSERT_EQ(Status(MakeRequest(18, 4, 56, Slice(frame, 56, 4))), 0);
    EXPECT_EQ(device_.LastLightFrame(), frame);
    // Offset 0 starts the next frame.
    const std::vector<uint8_t> next(45, 7);
    ASSERT_EQ(Status(MakeRequest(18, 45, 0, next)), 0);
    EXPECT_EQ(device_.LastLightFrame(), next);

    const std::vector<uint8_t> data = {0xAA, 0x55, 30, 0};
    ASSERT_EQ(Status(MakeRequest(21, 4, 56, data)), 0);
    EXPECT_EQ(Slice(device_.MacroMemory(), 56, 4), data);
    ASSERT_EQ(Status(MakeRequest(23, 4, 3068, data)), 0);
    EXPECT_EQ(Slice(device_.CursorMemory(), 3068, 4), data);
}

TEST_F(EmulatedDeviceTest, FactoryResetWithoutChecksumRestoresEverything) {
    ASSERT_EQ(Status(MakeRequest(6, 56, 64, std::vector<uint8_t>(56, 9))), 0);
    ASSERT_EQ(Status(MakeRequest(6, 1, 0, {2})), 0);
    ASSERT_EQ(Status(MakeRequest(9, 56, 0, std::vector<uint8_t>(56, 9))), 0);
    ASSERT_EQ(Status(MakeRequest(21, 8, 0, std::vector<uint8_t>(8, 9))), 0);
    ASSERT_EQ(Status(MakeRequest(23, 8, 0, std::vector<uint8_t>(8, 9))), 0);
    ASSERT_EQ(Status(MakeRequest(18, 8, 0, std::vector<uint8_t>(8, 9))), 0);

    CommandReport reset{};
    reset[0] = kCommandReportId;
    reset[3] = 13;
    ASSERT_EQ(Status(reset), 0);
    EXPECT_EQ(device_.FactoryResetCount(), 1);

    VirtualHidBus otherBus;
    const EmulatedDevice fresh(DeviceKind::Mouse, otherBus);  // straight from the factory
    EXPECT_EQ(device_.SettingsMemory(), fresh.SettingsMemory());
    EXPECT_EQ(device_.BankMemory(), fresh.BankMemory());
    EXPECT_EQ(device_.CurrentImage(), fresh.CurrentImage());
    EXPECT_EQ(device_.MacroMemory(), std::vector<uint8_t>(32 * 128, 0));
    EXPECT_EQ(device_.CursorMemory(), fresh.CursorMemory());
    EXPECT_TRUE(device_.LastLightFrame().empty());
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Slice(device_.SettingsMemory(), static_cast<size_t>(i) * 64, 56),
                  EmulatedDevice::FactoryProfileBlock(DeviceKind::Mouse, i))
            << "profile " << i;
    }
}

TEST_F(EmulatedDeviceTest, InjectedFaultsMeetTheNextCommands) {
    const CommandReport select = MakeRequest(6, 1, 0, {1});
    size_t n = 0;

    device_.InjectFault(Fault::WriteFailure);
    EXPECT_EQ(command_.connection->Write(select.data(), select.size(), 1000, n), 0);
    EXPECT_EQ(device_.SettingsMemory()[0], 0);

    // The device acts on the command but its reply is lost.
    device_.InjectFault(Fault::NoReply);
    const auto start = Clock::now();
    EXPECT_FALSE(Transact(select, 50));
    EXPECT_GE(Clock::now() - start, 50ms);
    EXPECT_EQ(device_.SettingsMemory()[0], 1);

    for (const auto& [fault, status] :
         {std::pair{Fault::StatusFF, 0xFF}, std::pair{Fault::StatusFE, 0xFE}}) {
        device_.InjectFault(fault);
        const auto reply = Transact(MakeRequest(3, 33, 0));
        ASSERT_TRUE(reply);
        EXPECT_EQ((*reply)[report_byte::kStatus], status);
        EXPECT_EQ((*reply)[8 + 12], 239);  // payload as usual
    }

    // Faults are used up; the next command is answered normally.
    EXPECT_EQ(Status(select), 0);

    // A lasting fault stays until cleared.
    device_.InjectFault(Fault::StatusFE, -1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Status(select), 0xFE);
    }
    device_.ClearFaults();
    EXPECT_EQ(Status(select), 0);
}

TEST_F(EmulatedDeviceTest, TrafficLogKeepsRequestsAndRepliesAndDropsTheOldest) {
    device_.ClearTrafficLog();
    const CommandReport request = MakeRequest(5, 1, 0);
    const auto reply = Transact(request);
    ASSERT_TRUE(reply);
    auto log = device_.TrafficLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_TRUE(log[0].fromHost);
    EXPECT_EQ(log[0].report, request);
    EXPECT_FALSE(log[1].fromHost);
    EXPECT_EQ(log[1].report, *reply);

    device_.ClearTrafficLog();
    ASSERT_EQ(Status(MakeRequest(2, 0, 0)), 0);
    const size_t roundTrips = EmulatedDevice::kTrafficLogLimit / 2;
    for (size_t i = 0; i < roundTrips; ++i) {
        ASSERT_TRUE(Transact(MakeRequest(1, 0, 0)));
    }
    log = device_.TrafficLog();
    ASSERT_EQ(log.size(), EmulatedDevice::kTrafficLogLimit);
    EXPECT_TRUE(log.front().fromHost);
    EXPECT_EQ(log.front().report[report_byte::kCommand], 1);  // the close and its reply went
}

TEST_F(EmulatedDeviceTest, ConsumerEventIsAPressThenARelease) {
    auto events = OpenByUsagePage(*backend_, kConsumerPage);
    ASSERT_TRUE(events);
    EXPECT_EQ(events->collection.usage, 1);
    device_.EmitConsumerEvent(0x402);

    std::vector<std::vector<uint16_t>> decoded;
    for (int i = 0; i < 2; ++i) {
        uint8_t report[8] = {};
        size_t n = 0;
        ASSERT_EQ(events->connection->Read(report, sizeof report, 2000, n), 1);
        ASSERT_EQ(n, events->collection.inputReportByteLength);
        std::vector<uint16_t> usages;
        EXPECT_EQ(GetInputUsages(events->collection, kConsumerPage,
                                 std::span<const uint8_t>(report, n), usages),
                  kHidpStatusSuccess);
        decoded.push_back(usages);
    }
    EXPECT_EQ(decoded[0], std::vector<uint16_t>{0x402});
    EXPECT_TRUE(decoded[1].empty());
}

TEST_F(EmulatedDeviceTest, ReplugGivesNewPathsKeepsStateAndFailsOldHandles) {
    ASSERT_EQ(Status(MakeRequest(6, 1, 0, {4})), 0);
    const std::string oldPath = command_.path;
    device_.Unplug();
    EXPECT_FALSE(device_.IsPlugged());
    EXPECT_FALSE(backend_->IsPathPresent(oldPath));
    EXPECT_FALSE(Transact(MakeRequest(1, 0, 0)));
    std::vector<std::string> paths;
    ASSERT_TRUE(backend_->Enumerate(paths));
    EXPECT_TRUE(paths.empty());

    device_.Plug();
    auto opened = OpenByUsagePage(*backend_, kCommandPage);
    ASSERT_TRUE(opened);
    EXPECT_NE(opened->path, oldPath);
    command_ = std::move(*opened);
    const auto reply = Transact(MakeRequest(5, 1, 0));
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[8], 4);
}

TEST_F(EmulatedDeviceTest, ReportDelayCostsATransferEachWay) {
    device_.SetReportDelay(5ms);
    const auto start = Clock::now();
    ASSERT_TRUE(Transact(MakeRequest(1, 0, 0)));
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 10ms);
    EXPECT_LT(elapsed, 5s);
}

// Identity and nodes of each kind, as a host finds them.
struct KindCase {
    DeviceKind kind;
    uint16_t productId;
    uint8_t keys;
    bool consumerNode;
};

class EmulatedKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(EmulatedKindTest, PlugsItsNodesAndAnswersCommands) {
    const KindCase& c = GetParam();
    VirtualHidBus bus;
    EmulatedDevice device(c.kind, bus);
    auto backend = bus.MakeBackend();
    std::vector<std::string> paths;
    ASSERT_TRUE(backend->Enumerate(paths));
    EXPECT_TRUE(paths.empty());  // not plugged yet
    device.Plug();

    auto command = OpenByUsagePage(*backend, kCommandPage);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->collection.usage, 0x92);
    EXPECT_EQ(command->collection.inputReportByteLength, 64);
    EXPECT_EQ(command->collection.outputReportByteLength, 64);
    EXPECT_EQ(command->collection.inputReportIds, std::vector<uint8_t>{kCommandReportId});
    HidNodeInfo info;
    std::string error;
    ASSERT_TRUE(backend->Describe(command->path, info, error));
    EXPECT_EQ(info.attributes.vendorId, 0x0C45);
    EXPECT_EQ(info.attributes.productId, c.productId);
    EXPECT_EQ(device.ProductId(), c.productId);
    EXPECT_EQ(OpenByUsagePage(*backend, kConsumerPage).has_value(), c.consumerNode);

    const CommandReport request = MakeRequest(3, 33, 0);
    size_t n = 0;
    ASSERT_EQ(command->connection->Write(request.data(), request.size(), 1000, n), 1);
    CommandReport reply{};
    ASSERT_EQ(command->connection->Read(reply.data(), reply.size(), 2000, n), 1);
    EXPECT_EQ(reply[report_byte::kStatus], 0);
    EXPECT_EQ(reply[8 + 5], c.keys);
    EXPECT_EQ(device.MacroMemory().size(), reply[8 + 6] * 128u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EmulatedKindTest,
                         ::testing::Values(KindCase{DeviceKind::Mouse, 0x7643, 6, true},
                                           KindCase{DeviceKind::Keyboard, 0x6556, 126, true},
                                           KindCase{DeviceKind::Mousepad, 0x5004, 0, false}));

// The firmware is driven from several threads at once; meant for ThreadSanitizer.
TEST_F(EmulatedDeviceTest, ConcurrentCommandsEventsAndInspection) {
    auto events = OpenByUsagePage(*backend_, kConsumerPage);
    ASSERT_TRUE(events);
    std::atomic<bool> stop{false};
    std::thread side([&] {
        while (!stop.load()) {
            device_.EmitConsumerEvent(0x401);
            (void)device_.TrafficLog();
            (void)device_.SettingsMemory();
            device_.SetReportDelay(0us);
            uint8_t report[8];
            size_t n = 0;
            events->connection->Read(report, sizeof report, 0, n);
        }
    });
    for (int i = 0; i < 200; ++i) {
        const auto profile = static_cast<uint8_t>(i % 5);
        ASSERT_EQ(Status(MakeRequest(6, 1, 0, {profile})), 0);
    }
    stop.store(true);
    side.join();
    EXPECT_EQ(device_.SettingsMemory()[0], 199 % 5);
}

}  // namespace
}  // namespace gmd::emu
