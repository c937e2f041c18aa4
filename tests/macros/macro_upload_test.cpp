#include "macros/macro_upload.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "device/command_report.h"
#include "device/device_identity.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"
#include "macros/cursor_sequences.h"
#include "mouse/mouse_blocks.h"
#include "tests/macros/macro_test_support.h"

namespace gmd::macros {
namespace {

namespace fs = std::filesystem;
using test::ActionFile;
using test::WriteBytes;

BlobEntry Actions(size_t count) {
    BlobEntry entry;
    for (size_t i = 0; i < count; ++i) {
        entry.push_back({static_cast<uint8_t>(i), 1, 0x8A, 4, 1, "keyboard_key_A"});
    }
    return entry;
}

TEST(MacroBlobTest, LayoutIsByteExact) {
    const std::vector<BlobEntry> one = {{{50, 0, 0x8A, 4, 1, "a"}, {0x34, 0x12, 0x0A, 4, 0, "a"}}};
    const std::vector<uint8_t> blob = BuildMacroBlob(one);
    const std::vector<uint8_t> expected = {0xAA, 0x55, 30,   0, 1,    0,    0,    0,
                                           0,    0,    0,    0, 0,    0,    0,    0,  // header
                                           18,   0,              // offset table
                                           2,    0,    0,    0,  // entry: two actions
                                           50,   0,    0x8A, 4, 0x34, 0x12, 0x0A, 4};
    EXPECT_EQ(blob, expected);
    // Entries follow one another; an empty entry still has its count.
    const std::vector<BlobEntry> three = {Actions(1), {}, Actions(2)};
    const std::vector<uint8_t> b = BuildMacroBlob(three);
    ASSERT_EQ(b.size(), 16u + 6 * 3 + 4 * 3);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 16, b.begin() + 22),
              (std::vector<uint8_t>{22, 0, 30, 0, 34, 0}));
    EXPECT_EQ(b[30], 0);  // the empty entry's count
    EXPECT_EQ(b[34], 2);
    EXPECT_EQ(MacroBlobSize(std::vector<BlobEntry>(4)), 40u);
}

TEST(MacroBlobTest, CapacityGivesTheActionsToRemove) {
    const std::vector<BlobEntry> big = {Actions(62)};
    EXPECT_EQ(MacroBlobSize(big), 270u);
    EXPECT_EQ(ActionsToRemove(270, 2), 4);
    EXPECT_EQ(ActionsToRemove(256, 2), 0);
    EXPECT_EQ(ActionsToRemove(257, 2), 1);
    EXPECT_EQ(ActionsToRemove(20, 0), 6);
}

struct Request {
    uint8_t command;
    uint8_t length;
    uint16_t address;
    bool operator==(const Request&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Request& r) {
    return out << "{" << int{r.command} << ", " << int{r.length} << ", " << r.address << "}";
}

// The virtual mouse with the host's channel open on it, and a data folder.
class UploadTest : public test::FolderFixture {
  protected:
    void SetUp() override {
        FolderFixture::SetUp();
        mouse_.Plug();
        channel_.SetIdentity(kVendorId, kMouseProductId, kCommandUsage, kCommandUsagePage);
        std::lock_guard lock(channel_.IoLock());
        ASSERT_EQ(channel_.FindAndOpen(), 1);
        mouse::Image image = mouse::InitialCurrentImage();
        image[0] = 0x14;  // something to recognise on the device
        request_.macros = store_;
        request_.keyBlock = MouseKeyBlock(image);
        request_.bank = 2;
        request_.capacityUnits = mouse_.InfoBlock()[6];
    }
    std::vector<Request> HostRequests(uint8_t onlyCommand = 0) {
        std::vector<Request> requests;
        for (const emu::TrafficRecord& r : mouse_.TrafficLog()) {
            const uint8_t* report = r.report.data();
            if (r.fromHost && (onlyCommand == 0 || report[report_byte::kCommand] == onlyCommand)) {
                requests.push_back({report[report_byte::kCommand], report[report_byte::kLength],
                                    ReportAddress(report)});
            }
        }
        return requests;
    }
    void AddMacroWith(size_t actions) {
        std::string name;
        ASSERT_EQ(AddMacro(store_, name), MacroResult::Ok);
        std::vector<std::string> texts(actions, "7,0,138,4,1,keyboard_key_A");
        ASSERT_EQ(
            SaveMacroActions(store_, static_cast<int>(ReadMacroNames(store_).size()) - 1, texts),
            MacroResult::Ok);
    }

    VirtualHidBus bus_;
    emu::EmulatedDevice mouse_{DeviceKind::Mouse, bus_};
    CDeviceChannel channel_{bus_.MakeBackend()};
    UploadRequest request_;
};

constexpr uint8_t kMacroCmd = static_cast<uint8_t>(Command::WriteMacroData);
constexpr uint8_t kCursorCmd = static_cast<uint8_t>(Command::WriteCursorData);
constexpr uint8_t kBankCmd = static_cast<uint8_t>(Command::WriteBankImage);

TEST_F(UploadTest, NoMacrosStillWritesTheKeyRecords) {
    const UploadReport report = SaveToDevice(channel_, request_);
    EXPECT_EQ(report.outcome, UploadOutcome::Ok);
    EXPECT_FALSE(report.macrosSent);
    EXPECT_TRUE(HostRequests(kMacroCmd).empty());
    EXPECT_EQ(
        HostRequests(),
        (std::vector<Request>{
            {1, 0, 0}, {kBankCmd, 56, 252}, {kBankCmd, 56, 308}, {kBankCmd, 14, 364}, {2, 0, 0}}));
    const std::vector<uint8_t> bank = mouse_.BankMemory();
    EXPECT_TRUE(
        std::equal(request_.keyBlock.begin(), request_.keyBlock.end(), bank.begin() + 2 * 126));
}

TEST_F(UploadTest, CursorsThenMacrosThenKeysInChunks) {
    // Four empty cursor files: a 40-byte blob. Two macros of 43 actions: a 200-byte blob.
    // Without default files the entries are still written; the missing files are reported.
    std::vector<std::string> failed;
    EXPECT_FALSE(EnsureCursorFiles(store_, root_ / "no-defaults", &failed));
    EXPECT_EQ(failed.size(), 4u);
    for (int g = 0; g < 4; ++g) {
        WriteBytes(CursorFilePath(store_, g), ActionFile(0, {}));
    }
    request_.cursors = store_;
    AddMacroWith(20);
    AddMacroWith(23);
    std::vector<std::pair<UploadStep, int>> ticks;
    const UploadReport report =
        SaveToDevice(channel_, request_, [&](UploadStep step, int done, int total) {
            ticks.emplace_back(step, done);
            EXPECT_EQ(total, 9);
        });
    ASSERT_EQ(report.outcome, UploadOutcome::Ok);
    EXPECT_TRUE(report.cursorSent && report.macrosSent);
    EXPECT_EQ(HostRequests(kCursorCmd), (std::vector<Request>{{kCursorCmd, 40, 0}}));
    EXPECT_EQ(
        HostRequests(kMacroCmd),
        (std::vector<Request>{
            {kMacroCmd, 56, 0}, {kMacroCmd, 56, 56}, {kMacroCmd, 56, 112}, {kMacroCmd, 32, 168}}));
    const std::vector<Request> all = HostRequests();
    EXPECT_EQ(all.front(), (Request{1, 0, 0}));
    EXPECT_EQ(all[1].command, kCursorCmd);
    EXPECT_EQ(all.back(), (Request{2, 0, 0}));
    const std::vector<uint8_t> macros = mouse_.MacroMemory();
    EXPECT_EQ(std::vector<uint8_t>(macros.begin(), macros.begin() + 6),
              (std::vector<uint8_t>{0xAA, 0x55, 200, 0, 2, 0}));
    ASSERT_EQ(ticks.size(), 10u);
    EXPECT_EQ(ticks.front(), std::make_pair(UploadStep::CursorSequences, 0));
    EXPECT_EQ(ticks[3], std::make_pair(UploadStep::Macros, 3));
    EXPECT_EQ(ticks.back(), std::make_pair(UploadStep::None, 9));
}

TEST_F(UploadTest, TooManyActionsSendsNothing) {
    request_.capacityUnits = 2;
    AddMacroWith(62);
    const UploadReport report = SaveToDevice(channel_, request_);
    EXPECT_EQ(report.outcome, UploadOutcome::MacrosTooBig);
    EXPECT_EQ(report.actionsToRemove, 4);
    EXPECT_TRUE(HostRequests().empty());
}

TEST_F(UploadTest, OversizedCursorBlobIsSkippedAndSaid) {
    // Without default files the entries are still written; the missing files are reported.
    std::vector<std::string> failed;
    EXPECT_FALSE(EnsureCursorFiles(store_, root_ / "no-defaults", &failed));
    EXPECT_EQ(failed.size(), 4u);
    std::vector<std::string> texts(200, "0,0,4,1,0,x");
    for (int g = 0; g < 4; ++g) {
        WriteBytes(CursorFilePath(store_, g), ActionFile(200, texts));
    }
    request_.cursors = store_;
    const UploadReport report = SaveToDevice(channel_, request_);
    EXPECT_EQ(report.outcome, UploadOutcome::Ok);
    EXPECT_TRUE(report.cursorSkipped);
    EXPECT_TRUE(HostRequests(kCursorCmd).empty());
    EXPECT_FALSE(HostRequests(kBankCmd).empty());
}

// A failure part-way stops the run at that step, says which, and changes no file.
TEST_F(UploadTest, FailurePartWayIsReportedAndStops) {
    AddMacroWith(3);
    struct Case {
        const char* what;
        UploadStep failAt;
        emu::Fault fault;
        int tick;  // transaction within the step: 0 open, 1 data, 2 close
        Command command;
        int result;
    };
    const Case cases[] = {
        {"macro data write refused", UploadStep::Macros, emu::Fault::WriteFailure, 1,
         Command::WriteMacroData, kResultWriteFailed},
        {"key records refused by status", UploadStep::KeyRecords, emu::Fault::StatusFF, 1,
         Command::WriteBankImage, kResultStatusFF},
        {"session not opened", UploadStep::Macros, emu::Fault::NoReply, 0, Command::OpenSession,
         kResultNoReply},
        {"close fails", UploadStep::KeyRecords, emu::Fault::StatusFE, 2, Command::CloseSession,
         kResultStatusFE},
    };
    for (const Case& c : cases) {
        mouse_.ClearFaults();
        mouse_.ClearTrafficLog();
        const auto before = Snapshot();
        int inStep = 0;
        const UploadReport report =
            SaveToDevice(channel_, request_, [&](UploadStep step, int, int) {
                if (step == c.failAt && inStep++ == c.tick) {
                    mouse_.InjectFault(c.fault, -1);
                }
            });
        EXPECT_EQ(report.outcome, UploadOutcome::DeviceFailed) << c.what;
        EXPECT_EQ(report.failedStep, c.failAt) << c.what;
        EXPECT_EQ(report.failedCommand, c.command) << c.what;
        EXPECT_EQ(report.deviceResult, c.result) << c.what;
        EXPECT_EQ(Snapshot(), before) << c.what;
        if (c.failAt == UploadStep::Macros) {
            EXPECT_TRUE(HostRequests(kBankCmd).empty()) << c.what;
        }
    }
}

// The page runs the upload on a worker and shows its progress: the run shares nothing with the
// thread that started it but the channel, which locks each transaction.
TEST_F(UploadTest, RunsOnAWorkerWithProgress) {
    AddMacroWith(40);
    std::atomic<int> done{-1};
    UploadReport report;
    std::thread worker([&] {
        report =
            SaveToDevice(channel_, request_, [&](UploadStep, int step, int) { done.store(step); });
    });
    // Meanwhile the UI thread talks to the mouse as well.
    std::array<uint8_t, kInfoBlockSize> info{};
    EXPECT_EQ(ReadInfo(channel_, info), kResultSuccess);
    worker.join();
    EXPECT_EQ(report.outcome, UploadOutcome::Ok);
    EXPECT_EQ(done.load(), 6);
    EXPECT_EQ(mouse_.MacroMemory()[2], 16 + 6 + 4 * 40);
}

TEST_F(UploadTest, UnpluggedMouseFailsAtTheFirstStep) {
    mouse_.Unplug();
    const UploadReport report = SaveToDevice(channel_, request_);
    EXPECT_EQ(report.outcome, UploadOutcome::DeviceFailed);
    EXPECT_EQ(report.failedStep, UploadStep::KeyRecords);
    EXPECT_EQ(report.failedCommand, Command::OpenSession);
}

}  // namespace
}  // namespace gmd::macros
