#include "device/device_watch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/command_set.h"
#include "device/device_identity.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"
#include "platform/debug_output.h"
#include "tests/support/fake_hid_backend.h"

namespace gmd {
namespace {

using namespace std::chrono_literals;
using emu::EmulatedDevice;
using gmd::DeviceKind;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Next = MouseWatchEvents::Next;

constexpr const char* kDetectionExit = "鼠标设备侦测线程设定退出";
constexpr const char* kMouseSyncExit = "鼠标同步线程设定测试退出";
constexpr const char* kKeyboardSyncExit = "键盘同步线程设定退出";

template <typename Condition>
bool SpinUntil(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// What the watch code did with the bus; can also make reads fail and a path look gone once.
struct BackendLog {
    std::mutex mutex;
    std::vector<std::string> opened;
    std::atomic<int> liveConnections{0};
    std::atomic<int> failReads{0};
    std::atomic<bool> hidePathOnce{false};

    std::vector<std::string> Opened() {
        std::lock_guard lock(mutex);
        return opened;
    }
    int OpenedEventNodes() {
        std::lock_guard lock(mutex);
        return static_cast<int>(std::count_if(opened.begin(), opened.end(), [](const auto& path) {
            return path.find("-events") != std::string::npos;
        }));
    }
};

class ObservedConnection final : public HidConnection {
  public:
    ObservedConnection(std::unique_ptr<HidConnection> inner, std::shared_ptr<BackendLog> log)
        : inner_(std::move(inner)), log_(std::move(log)) {
        ++log_->liveConnections;
    }
    ~ObservedConnection() override { --log_->liveConnections; }

    int Read(uint8_t* buffer, size_t length, uint32_t timeoutMs, size_t& bytesRead) override {
        if (log_->failReads.load() > 0) {
            --log_->failReads;
            bytesRead = 0;
            return 0;
        }
        return inner_->Read(buffer, length, timeoutMs, bytesRead);
    }
    int Write(const uint8_t* buffer, size_t length, uint32_t timeoutMs,
              size_t& bytesWritten) override {
        return inner_->Write(buffer, length, timeoutMs, bytesWritten);
    }
    void Cancel() override { inner_->Cancel(); }

  private:
    std::unique_ptr<HidConnection> inner_;
    std::shared_ptr<BackendLog> log_;
};

class ObservedBackend final : public HidBackend {
  public:
    ObservedBackend(std::unique_ptr<HidBackend> inner, std::shared_ptr<BackendLog> log)
        : inner_(std::move(inner)), log_(std::move(log)) {}

    bool Enumerate(std::vector<std::string>& paths) override { return inner_->Enumerate(paths); }
    bool Describe(const std::string& path, HidNodeInfo& info, std::string& error) override {
        return inner_->Describe(path, info, error);
    }
    std::unique_ptr<HidConnection> Open(const std::string& path, const HidOpenMode& mode,
                                        const HidReportFilter& filter,
                                        std::string& error) override {
        std::unique_ptr<HidConnection> connection = inner_->Open(path, mode, filter, error);
        if (!connection) {
            return nullptr;
        }
        {
            std::lock_guard lock(log_->mutex);
            log_->opened.push_back(path);
        }
        return std::make_unique<ObservedConnection>(std::move(connection), log_);
    }
    bool IsPathPresent(const std::string& path) override {
        if (log_->hidePathOnce.exchange(false)) {
            return false;
        }
        return inner_->IsPathPresent(path);
    }

  private:
    std::unique_ptr<HidBackend> inner_;
    std::shared_ptr<BackendLog> log_;
};

class RecordingEvents final : public MouseWatchEvents {
  public:
    void FirstPassConnected() override { Add("first pass"); }
    void Attached() override { Add("attached"); }
    void Detached(Next next) override {
        Add(next == Next::Keyboard   ? "detached: keyboard"
            : next == Next::Mousepad ? "detached: mousepad"
                                     : "detached: no device");
    }
    void StillPresent(bool other) override { Add(other ? "present, other device" : "present"); }
    void Absent() override { Add("absent"); }

    std::vector<std::string> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(calls_, {});
    }
    size_t Count() {
        std::lock_guard lock(mutex_);
        return calls_.size();
    }

  private:
    void Add(std::string call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    std::mutex mutex_;
    std::vector<std::string> calls_;
};

class TraceCapture {
  public:
    TraceCapture() {
        SetDebugTraceSink([this](std::string_view line) {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line);
        });
    }
    ~TraceCapture() { SetDebugTraceSink(nullptr); }
    std::vector<std::string> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(lines_, {});
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

class WatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        mouseChannel_.SetIdentity(kVendorId, kMouseProductId, kCommandUsage, kCommandUsagePage);
        keyboardChannel_.SetIdentity(kVendorId, kKeyboardProductId, kCommandUsage,
                                     kCommandUsagePage);
        mousepadChannel_.SetIdentity(kVendorId, kMousepadProductId, kCommandUsage,
                                     kCommandUsagePage);
    }
    bool Pass(bool firstPass = false) {
        return MouseDetectionPass(mouseChannel_, keyboardChannel_, mousepadChannel_, events_,
                                  firstPass);
    }

    TraceCapture trace_;
    VirtualHidBus bus_;
    EmulatedDevice mouse_{DeviceKind::Mouse, bus_};
    EmulatedDevice keyboard_{DeviceKind::Keyboard, bus_};
    std::shared_ptr<BackendLog> log_ = std::make_shared<BackendLog>();
    std::shared_ptr<HidBackend> backend_ =
        std::make_shared<ObservedBackend>(bus_.MakeBackend(), log_);
    CDeviceChannel mouseChannel_{backend_};
    // Nothing connects these; the tests mark them connected by hand.
    CDeviceChannel keyboardChannel_{nullptr};
    CDeviceChannel mousepadChannel_{nullptr};
    RecordingEvents events_;
};

using MouseDetection = WatchTest;

TEST_F(MouseDetection, AttachesOnceAndBringsTheWindowForwardOnlyOnTheFirstPass) {
    mouse_.Plug();
    ASSERT_TRUE(Pass(true));
    EXPECT_TRUE(mouseChannel_.IsConnected());
    EXPECT_THAT(events_.Take(), ElementsAre("attached", "first pass"));
    std::array<uint8_t, emu::kInfoBlockSize> info{};
    EXPECT_EQ(ReadInfo(mouseChannel_, info), kResultSuccess);

    ASSERT_TRUE(Pass());
    EXPECT_THAT(events_.Take(), ElementsAre("present"));
    mousepadChannel_.SetConnected(true);
    ASSERT_TRUE(Pass());
    EXPECT_THAT(events_.Take(), ElementsAre("present, other device"));
}

TEST_F(MouseDetection, AnotherProductOfTheVendorIsOpenedAndClosedAgain) {
    keyboard_.Plug();
    ASSERT_TRUE(Pass(true));
    EXPECT_FALSE(mouseChannel_.IsConnected());
    EXPECT_THAT(events_.Take(), ElementsAre("absent"));
    EXPECT_THAT(log_->Opened(), Contains(HasSubstr("pid_6556")));
    EXPECT_EQ(log_->liveConnections.load(), 0);

    // The walk goes past it to the mouse.
    mouse_.Plug();
    ASSERT_TRUE(Pass());
    EXPECT_TRUE(mouseChannel_.IsConnected());
    EXPECT_THAT(events_.Take(), ElementsAre("attached"));
    EXPECT_EQ(log_->liveConnections.load(), 1);
}

TEST_F(MouseDetection, UnplugDetachesAndHandsOverToTheNextConnectedDevice) {
    struct Case {
        bool keyboard;
        bool mousepad;
        const char* expected;
    };
    const Case cases[] = {
        {false, false, "detached: no device"},
        {false, true, "detached: mousepad"},
        {true, false, "detached: keyboard"},
        {true, true, "detached: keyboard"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        keyboardChannel_.SetConnected(false);
        mousepadChannel_.SetConnected(false);
        mouse_.Plug();
        ASSERT_TRUE(Pass());
        ASSERT_THAT(events_.Take(), ElementsAre("attached"));
        mouseChannel_.SetLightSync(true);
        keyboardChannel_.SetConnected(c.keyboard);
        mousepadChannel_.SetConnected(c.mousepad);

        mouse_.Unplug();
        ASSERT_TRUE(Pass());
        EXPECT_THAT(events_.Take(), ElementsAre(c.expected));
        EXPECT_FALSE(mouseChannel_.IsConnected());
        EXPECT_FALSE(mouseChannel_.LightSync());
        EXPECT_EQ(log_->liveConnections.load(), 0);  // no stale handle kept
    }
}

TEST_F(MouseDetection, AFailedWriteDetachesAndALaterPassAttachesAgain) {
    mouse_.Plug();
    ASSERT_TRUE(Pass(true));
    events_.Take();
    std::array<uint8_t, emu::kInfoBlockSize> info{};
    mouse_.InjectFault(emu::Fault::WriteFailure);
    ASSERT_EQ(ReadInfo(mouseChannel_, info), kResultWriteFailed);

    ASSERT_TRUE(Pass());
    EXPECT_THAT(events_.Take(), ElementsAre("detached: no device"));
    ASSERT_TRUE(Pass());
    EXPECT_THAT(events_.Take(), ElementsAre("attached"));
    EXPECT_EQ(ReadInfo(mouseChannel_, info), kResultSuccess);
}

TEST_F(MouseDetection, ThreadEndsSoonAfterStopEvenInItsPause) {
    mouse_.Plug();
    StopEvent stop;
    std::atomic<bool> ended{false};
    // A pause of a minute: ending within the wait below shows the pause watches the stop event.
    std::thread thread([&] {
        RunMouseDetection(mouseChannel_, keyboardChannel_, mousepadChannel_, stop, events_,
                          MouseDetectionTiming{60'000});
        ended = true;
    });
    EXPECT_TRUE(SpinUntil([&] { return events_.Count() == 2; }));
    stop.Set();
    EXPECT_TRUE(SpinUntil([&] { return ended.load(); }));
    thread.join();
    EXPECT_THAT(events_.Take(), ElementsAre("attached", "first pass"));
    EXPECT_THAT(trace_.Take(), ElementsAre(kDetectionExit));
}

TEST(DeviceWatch, EnumerationFailureEndsTheThreads) {
    TraceCapture trace;
    auto backend = std::make_shared<test::FakeHidBackend>();
    backend->failEnumerate = true;
    CDeviceChannel mouse(backend);
    CDeviceChannel other(nullptr);
    RecordingEvents events;
    StopEvent stop;
    RunMouseDetection(mouse, other, other, stop, events);
    RunSyncThread(backend, MouseSyncConfig(), stop, [](uint16_t) {});
    RunSyncThread(backend, KeyboardSyncConfig(), stop, [](uint16_t) {});
    EXPECT_FALSE(stop.IsSet());
    EXPECT_THAT(events.Take(), IsEmpty());
    EXPECT_THAT(trace.Take(), ElementsAre(kDetectionExit, kMouseSyncExit, kKeyboardSyncExit));
}

// A sync thread on its own thread, collecting the event codes it hands over. Code 0 (the key
// release that follows every event) is left out.
class SyncThreadRun {
  public:
    SyncThreadRun(std::shared_ptr<HidBackend> backend, SyncThreadConfig config)
        : thread_([this, backend = std::move(backend), config] {
              RunSyncThread(backend, config, stop_, [this](uint16_t code) {
                  if (code != 0) {
                      std::lock_guard lock(mutex_);
                      codes_.push_back(code);
                  }
              });
              ended_ = true;
          }) {}
    ~SyncThreadRun() { Stop(); }

    // The thread resets its event on entry, so a stop set before that is repeated.
    bool Stop() {
        const bool ended = SpinUntil([this] {
            stop_.Set();
            return ended_.load();
        });
        if (thread_.joinable()) {
            thread_.join();
        }
        return ended;
    }
    std::vector<uint16_t> Codes() {
        std::lock_guard lock(mutex_);
        return codes_;
    }
    bool WaitForCodes(size_t count) {
        return SpinUntil([&] { return Codes().size() >= count; });
    }

  private:
    StopEvent stop_;
    std::atomic<bool> ended_{false};
    std::mutex mutex_;
    std::vector<uint16_t> codes_;
    std::thread thread_;
};

using SyncThread = WatchTest;

TEST_F(SyncThread, EventsReachTheHandlerInOrderAndStopEndsTheWaitingRead) {
    struct Case {
        const char* name;
        SyncThreadConfig config;
        EmulatedDevice* device;
        const char* exitLine;
    };
    const Case cases[] = {
        {"mouse", MouseSyncConfig(), &mouse_, kMouseSyncExit},
        {"keyboard", KeyboardSyncConfig(), &keyboard_, kKeyboardSyncExit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Both devices are present; each thread must pick its own.
        mouse_.Plug();
        keyboard_.Plug();
        {
            const int opened = log_->OpenedEventNodes();
            SyncThreadRun run(backend_, c.config);
            ASSERT_TRUE(SpinUntil([&] { return log_->OpenedEventNodes() == opened + 1; }));
            for (uint16_t code : std::initializer_list<uint16_t>{0x401, 0x402, 0x403}) {
                c.device->EmitConsumerEvent(code);
            }
            ASSERT_TRUE(run.WaitForCodes(3));
            EXPECT_THAT(run.Codes(), ElementsAre(0x401, 0x402, 0x403));
            // The thread now waits in a read without a time-out.
            EXPECT_TRUE(run.Stop());
        }
        EXPECT_THAT(trace_.Take(), ElementsAre(c.exitLine));
        EXPECT_EQ(log_->liveConnections.load(), 0);
        mouse_.Unplug();
        keyboard_.Unplug();
    }
}

TEST_F(SyncThread, UnplugEndsTheReadsAndAReplugIsFoundAgain) {
    SyncThreadConfig config = MouseSyncConfig();
    config.searchMs = 20;
    mouse_.Plug();
    SyncThreadRun run(backend_, config);
    ASSERT_TRUE(SpinUntil([&] { return log_->OpenedEventNodes() == 1; }));

    mouse_.Unplug();
    ASSERT_TRUE(SpinUntil([&] { return log_->liveConnections.load() == 0; }));
    mouse_.Plug();
    ASSERT_TRUE(SpinUntil([&] { return log_->OpenedEventNodes() == 2; }));
    mouse_.EmitConsumerEvent(0x402);
    ASSERT_TRUE(run.WaitForCodes(1));
    EXPECT_THAT(run.Codes(), ElementsAre(0x402));
}

TEST_F(SyncThread, AFailedReadIsRetriedWhileTheInterfaceIsThere) {
    struct Case {
        const char* name;
        int failedReads;
        bool pathGoneOnce;
        int expectedOpens;
    };
    const Case cases[] = {
        {"present: read again on the same handle", 3, false, 1},
        // The path is back by the time anyone looks again: the handle is closed, so the
        // thread must search and open it anew instead of counting itself attached.
        {"gone for a moment: opened again", 1, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int opened = log_->OpenedEventNodes();
        log_->failReads = c.failedReads;
        log_->hidePathOnce = c.pathGoneOnce;
        SyncThreadConfig config = MouseSyncConfig();
        config.searchMs = 20;
        mouse_.Plug();
        {
            SyncThreadRun run(backend_, config);
            ASSERT_TRUE(
                SpinUntil([&] { return log_->OpenedEventNodes() == opened + c.expectedOpens; }));
            mouse_.EmitConsumerEvent(0x401);
            ASSERT_TRUE(run.WaitForCodes(1));
            EXPECT_THAT(run.Codes(), ElementsAre(0x401));
            EXPECT_EQ(log_->OpenedEventNodes(), opened + c.expectedOpens);
            EXPECT_EQ(log_->failReads.load(), 0);
        }
        mouse_.Unplug();
    }
}

}  // namespace
}  // namespace gmd
