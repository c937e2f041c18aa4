// The keyboard and mousepad lighting threads with their senders over the virtual keyboard and
// mousepad, beside synchronised lighting.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "device/command_report.h"
#include "keyboard_pad/keyboard_light_thread.h"
#include "keyboard_pad/mousepad_light_thread.h"
#include "keyboard_pad/sync_light_thread.h"
#include "mouse/light_frame_sender.h"
#include "tests/support/virtual_mouse_rig.h"

namespace gmd {
namespace {

using std::chrono::milliseconds;

struct DeviceRig {
    DeviceRig(VirtualHidBus& bus, DeviceKind kind, const DeviceIdentity& id)
        : device(kind, bus), channel(std::shared_ptr<HidBackend>(bus.MakeBackend())) {
        device.Plug();
        device.SetReportDelay(std::chrono::microseconds(1000));
        channel.SetIdentity(id.vendorId, id.productId, id.usage, id.usagePage);
        std::lock_guard lock(channel.IoLock());
        EXPECT_EQ(channel.FindAndOpen(), 1);
    }
    size_t FramesSent() const {
        size_t count = 0;
        for (const emu::TrafficRecord& record : device.TrafficLog()) {
            count += record.fromHost && record.report[report_byte::kCommand] == 18 ? 1u : 0u;
        }
        return count;
    }
    emu::EmulatedDevice device;
    CDeviceChannel channel;
};

class PadLightThreadsTest : public ::testing::Test {
  protected:
    void TearDown() override {
        for (StopEvent* stop : {&kbStop_, &padStop_, &syncStop_, &kbSendStop_, &padSendStop_}) {
            stop->Set();
        }
        for (std::thread* t : {&kbThread_, &padThread_, &syncThread_, &kbSender_, &padSender_}) {
            if (t->joinable()) {
                t->join();
            }
        }
    }
    void StartKeyboard() {
        kbThread_ = std::thread([this] {
            keyboard::RunKeyboardLightThread({keyboard_.channel, kb_}, kbStop_,
                                             {.startDelayMs = 0, .idleWaitMs = 10});
        });
        kbSender_ = std::thread(
            [this] { light::RunLightFrameSender(kb_.frames, kbSink_, kbSendStop_, "keyboard"); });
    }
    void StartPad() {
        padThread_ = std::thread([this] {
            mousepad::RunPadLightThread({pad_.channel, mp_}, padStop_,
                                        {.startDelayMs = 0, .idleWaitMs = 10});
        });
        padSender_ = std::thread(
            [this] { light::RunLightFrameSender(mp_.frames, padSink_, padSendStop_, "mousepad"); });
    }
    void StartSync() {
        syncThread_ = std::thread([this] {
            sync_light::RunSyncLightThread({block_,
                                            {&keyboard_.channel, &kb_.frames},
                                            {},
                                            {&pad_.channel, &mp_.frames},
                                            nullptr},
                                           syncStop_, {.noDeviceWaitMs = 20, .idleWaitMs = 10});
        });
    }

    VirtualHidBus bus_;
    DeviceRig keyboard_{bus_, DeviceKind::Keyboard, kKeyboardCommandInterface};
    DeviceRig pad_{bus_, DeviceKind::Mousepad, kMousepadCommandInterface};
    keyboard::KeyboardLightShared kb_;
    mousepad::PadLightShared mp_;
    sync_light::SyncBlock block_;
    light::ChannelFrameSink kbSink_{keyboard_.channel};
    light::ChannelFrameSink padSink_{pad_.channel};
    StopEvent kbStop_, padStop_, syncStop_, kbSendStop_, padSendStop_;
    std::thread kbThread_, padThread_, syncThread_, kbSender_, padSender_;
};

TEST_F(PadLightThreadsTest, KeyboardFramesReachTheKeyboardAndFailedWritesDoNotStopIt) {
    kb_.SetFields({3, 4, 0, 0, 0, 255, 0, 0});
    StartKeyboard();
    std::vector<uint8_t> red(keyboard::kFrameSize, 0);
    for (size_t i = 0; i < red.size(); i += 3) {
        red[i] = 254;  // 255 at alpha 255
    }
    ASSERT_TRUE(test::WaitFor([&] { return keyboard_.device.LastLightFrame() == red; }));

    // Writes failing: the engine keeps stepping; once they pass again the new colour arrives.
    keyboard_.device.InjectFault(emu::Fault::WriteFailure, -1);
    const uint64_t before = kb_.frames.Sequence();
    kb_.SetFields({3, 4, 0, 0, 0, 0, 0, 255});
    ASSERT_TRUE(test::WaitFor([&] { return kb_.frames.Sequence() > before + 20; }));
    keyboard_.device.ClearFaults();
    {
        // A failed write marks the device failed until it is opened afresh, as the detection
        // thread does.
        std::lock_guard lock(keyboard_.channel.IoLock());
        ASSERT_EQ(keyboard_.channel.FindAndOpen(), 1);
    }
    std::vector<uint8_t> blue(keyboard::kFrameSize, 0);
    for (size_t i = 2; i < blue.size(); i += 3) {
        blue[i] = 254;
    }
    ASSERT_TRUE(test::WaitFor([&] { return keyboard_.device.LastLightFrame() == blue; }));

    // Detached or synchronised, the keyboard's own engine computes nothing.
    keyboard_.channel.SetConnected(false);
    std::this_thread::sleep_for(milliseconds(40));
    const uint64_t detached = kb_.frames.Sequence();
    std::this_thread::sleep_for(milliseconds(60));
    EXPECT_EQ(kb_.frames.Sequence(), detached);
    keyboard_.channel.SetConnected(true);
    keyboard_.channel.SetLightSync(true);
    std::this_thread::sleep_for(milliseconds(40));
    const uint64_t synchronised = kb_.frames.Sequence();
    std::this_thread::sleep_for(milliseconds(60));
    EXPECT_EQ(kb_.frames.Sequence(), synchronised);
    keyboard::ChooseKeyboardLightMode(kb_, keyboard_.channel, 3);
    EXPECT_FALSE(keyboard_.channel.LightSync());
    ASSERT_TRUE(test::WaitFor([&] { return kb_.frames.Sequence() > synchronised; }));
}

TEST_F(PadLightThreadsTest, MousepadFlashReachesThePadAndSizesFollowTheMode) {
    mp_.SetFields({8, 4, 0, 0, 0, 0, 255, 0});
    StartPad();
    ASSERT_TRUE(
        test::WaitFor([&] { return pad_.device.LastLightFrame() == std::vector<uint8_t>(60, 0); }));
    ASSERT_TRUE(test::WaitFor([&] {
        const std::vector<uint8_t> frame = pad_.device.LastLightFrame();
        if (frame.size() == 60 && frame[1] == 255) {
            return true;
        }
        mp_.flashRequest = true;  // a busy machine may let a whole flash pass unsent
        return false;
    }));
    mp_.SetFields({1, 4, 0, 1, 0, 0, 0, 0});
    ASSERT_TRUE(test::WaitFor([&] { return pad_.device.LastLightFrame().size() == 45; }));

    pad_.channel.SetConnected(false);
    std::this_thread::sleep_for(milliseconds(40));
    const size_t sent = pad_.FramesSent();
    const uint64_t detached = mp_.frames.Sequence();
    std::this_thread::sleep_for(milliseconds(60));
    EXPECT_EQ(mp_.frames.Sequence(), detached);
    EXPECT_EQ(pad_.FramesSent(), sent);
}

// Keyboard, mousepad and synchronised engines while the driver changes fields, modes and
// synchronisation and a reader checks every frame is whole. Run under ThreadSanitizer too.
TEST_F(PadLightThreadsTest, EnginesRunBesideAReaderWithoutTornFrames) {
    kb_.SetFields({0, 3, 0, 1, 255, 0, 0, 0});
    mp_.SetFields({0, 3, 0, 1, 255, 0, 0, 0});
    StartKeyboard();
    StartPad();
    StartSync();
    std::atomic<bool> done{false};
    std::atomic<size_t> checked{0};
    std::thread reader([&] {
        while (!done) {
            const light::LightFrame frame = kb_.frames.Latest();
            if (frame.sequence != 0) {
                ASSERT_EQ(frame.leds.size(), keyboard::kKeyCount);
                ASSERT_EQ(frame.bytes.size(), keyboard::kFrameSize);
                const light::LightFrame pad = mp_.frames.Latest();
                ASSERT_TRUE(pad.sequence == 0 || pad.leds.size() == mousepad::kPadLeds);
                ++checked;
            }
            std::this_thread::sleep_for(milliseconds(1));
        }
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    for (uint8_t round = 0; std::chrono::steady_clock::now() < end; ++round) {
        const auto mode = static_cast<uint8_t>(round % 17);
        kb_.SetFields({mode, 4, static_cast<uint8_t>(round % 3), 1, 255, 9, 9, 9});
        mp_.SetFields({static_cast<uint8_t>(round % 9), 4, 0, 0, 255, 9, 9, 9});
        kb_.ClickKey(static_cast<uint8_t>(round % 126));
        mp_.flashRequest = true;
        if (round % 4 == 1) {
            const std::array<uint8_t, 8> fields = {
                static_cast<uint8_t>(round % 5), 4, 0, 1, 0, 0, 0, 255};
            CDeviceChannel* channels[] = {&keyboard_.channel, &pad_.channel};
            sync_light::StartSync(block_, fields, channels);
        } else if (round % 4 == 3) {
            keyboard::ChooseKeyboardLightMode(kb_, keyboard_.channel, mode);
            mousepad::ChoosePadLightMode(mp_, pad_.channel, static_cast<uint8_t>(round % 9));
        }
        std::this_thread::sleep_for(milliseconds(40));
    }
    done = true;
    reader.join();
    EXPECT_GT(checked.load(), 0u);
    EXPECT_FALSE(keyboard_.device.LastLightFrame().empty());
}

}  // namespace
}  // namespace gmd
