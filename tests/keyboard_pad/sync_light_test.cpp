// Synchronised lighting: the engine's frames per device, and the threads over the virtual mouse.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>

#include "device/command_report.h"
#include "keyboard_pad/sync_light_engine.h"
#include "keyboard_pad/sync_light_thread.h"
#include "mouse/light_frame_sender.h"
#include "mouse/mouse_light_engine.h"
#include "mouse/mouse_light_thread.h"
#include "tests/support/virtual_mouse_rig.h"

namespace gmd::sync_light {
namespace {

using light::kHueWheel;
using light::Led;

SyncFields Fields(uint8_t mode, uint8_t direction = 1, uint8_t cycle = 0, uint8_t speed = 2) {
    return {mode, 4, speed, direction, cycle, 200, 100, 50};
}

TEST(SyncLightEngine, BreathingFromTheMouseGives60ByteMouseFrames) {
    // The mouse's light fields in mode 2 become the synchronisation block.
    mouse::LiveBlock live{};
    const std::array<uint8_t, 8> fields = {2, 4, 2, 1, 0, 200, 100, 50};
    std::copy(fields.begin(), fields.end(), live.begin() + 1);
    SyncBlock block;
    test::VirtualMouseRig rig;
    CDeviceChannel keyboard{std::shared_ptr<HidBackend>(rig.bus.MakeBackend())};
    CDeviceChannel* channels[] = {&keyboard, &rig.channel, nullptr};
    StartSync(block, std::span<const uint8_t, kSyncBlockSize>(live.data() + 1, kSyncBlockSize),
              channels);
    EXPECT_EQ(block.Fields().mode, 2);
    EXPECT_EQ(block.Fields(), Fields(2));
    EXPECT_TRUE(keyboard.LightSync());
    EXPECT_TRUE(rig.channel.LightSync());

    SyncEffectState state;
    state.position = 62;  // the next step reaches the pulse's peak
    const SyncStepResult step = StepSyncLight(state, block.Fields(), {false, true, false}, nullptr);
    ASSERT_TRUE(step.ran);
    EXPECT_TRUE(step.frames.keyboard.empty());
    EXPECT_TRUE(step.frames.mousepad.empty());
    ASSERT_EQ(step.frames.mouse.size(), kMouseFrameSize);
    for (size_t i = 0; i < kMouseLeds; ++i) {
        // 200 x 256/256 x 256/256; the preview keeps the colour with alpha 255 x 255 / 256.
        EXPECT_EQ(step.frames.mouse[3 * i], 200);
        EXPECT_EQ(step.frames.mouse[3 * i + 1], 100);
        EXPECT_EQ(step.frames.mouse[3 * i + 2], 50);
        EXPECT_EQ(state.mouse[i], (Led{200, 100, 50, 254}));
    }
    // Sleeps: 4 x speed, 8 for the keyboard frame not sent, the mouse frame's transfer, 1 for
    // the mousepad frame not sent. 60 bytes take two reports.
    EXPECT_EQ(step.periodMs, 8 + 8 + 2 * kReportRoundTripMs + 1);

    // Lower brightness and the pulse's floor: both factors count one more than their value.
    SyncFields dim = Fields(2, 1, 0);
    dim.brightness = 0;  // level 45
    state.position = 127;
    const SyncStepResult low = StepSyncLight(state, dim, {false, true, false}, nullptr);
    EXPECT_EQ(low.frames.mouse[0], 200 * 46 / 256 * 1 / 256);
    EXPECT_EQ(state.mouse[0].alpha, 0);
}

TEST(SyncLightEngine, WaveKeepsMouseLeds17To19DarkAndPaintsEachDevice) {
    KeyboardFrameLayout layout;
    for (auto& column : layout.columns) {
        column.fill(kNoKey);
    }
    layout.keyToFrame.fill(kNoKey);
    for (uint8_t c = 0; c < kKeyboardColumns; ++c) {
        layout.columns[c][0] = c;                                               // key c in column c
        layout.keyToFrame[c] = static_cast<uint8_t>(kKeyboardColumns - 1 - c);  // mirrored
    }
    SyncEffectState state;
    // A spectrum step first lights LEDs 17-19; the wave must darken them.
    StepSyncLight(state, Fields(1), {true, true, true}, &layout);
    EXPECT_NE(state.mouse[18].alpha, 0);
    state.position = 0;
    const SyncStepResult step =
        StepSyncLight(state, Fields(0, 1, 255), {true, true, true}, &layout);
    ASSERT_TRUE(step.ran);
    ASSERT_EQ(step.frames.keyboard.size(), kKeyboardFrameSize);
    ASSERT_EQ(step.frames.mouse.size(), kMouseFrameSize);
    ASSERT_EQ(step.frames.mousepad.size(), kMousepadFrameSize);
    for (size_t b = 51; b < 60; ++b) {
        EXPECT_EQ(step.frames.mouse[b], 0) << b;
    }
    for (size_t i = 17; i < 20; ++i) {
        EXPECT_EQ(state.mouse[i], Led{});
    }
    // Column c takes wheel entry 1 + 7c: mouse group c, mousepad LED c, keyboard key c.
    for (size_t c = 0; c < 6; ++c) {
        const light::Rgb colour = kHueWheel[1 + 7 * c];
        for (const uint8_t led : light::kLedGroups[c]) {
            if (c == 4 && led == 16) {
                continue;  // LED 16 is in groups 4 and 5: the later one wins
            }
            EXPECT_EQ(state.mouse[led], light::MakeLed(colour, 255)) << c;
            EXPECT_EQ(step.frames.mouse[3 * led], colour.red) << c;  // x 256 / 256
        }
    }
    EXPECT_EQ(state.mousepad[14], light::MakeLed(kHueWheel[1 + 7 * 14], 255));
    const size_t key5 = kKeyboardColumns - 1 - 5;  // where key 5 sits in the frame
    EXPECT_EQ(step.frames.keyboard[3 * key5 + 1], kHueWheel[1 + 35].green);
    EXPECT_EQ(state.keyboard[22], light::MakeLed(kHueWheel[(1 + 7 * 22) % 192], 255));
    EXPECT_EQ(step.periodMs, 8 + 8 + (7 + 2 + 1) * kReportRoundTripMs);

    // Single colour: the sync colour over pulse table 2, ten entries further per column.
    state.position = 0;
    StepSyncLight(state, Fields(0, 0, 0), {false, true, true}, nullptr);
    EXPECT_EQ(state.position, 95);
    EXPECT_EQ(
        state.mousepad[1],
        (Led{200, 100, 50, static_cast<uint8_t>(255 * light::kPulse2[(95 + 10) % 96] / 256)}));
}

TEST(SyncLightEngine, ModesWithoutAStepSendNothing) {
    SyncEffectState state;
    state.position = 9;
    for (const int mode : {4, 5, 255}) {
        const SyncStepResult step =
            StepSyncLight(state, Fields(static_cast<uint8_t>(mode)), {true, true, true}, nullptr);
        EXPECT_FALSE(step.ran);
        EXPECT_TRUE(step.frames.mouse.empty());
        EXPECT_GE(step.periodMs, 1);
    }
    EXPECT_EQ(state.position, 9);
    // Static: the sync colour at the level; 6 ms for the keyboard not sent, then 5.
    const SyncStepResult still =
        StepSyncLight(state, Fields(3, 1, 0, 0), {false, true, false}, nullptr);
    EXPECT_EQ(still.frames.mouse[57], 200);
    EXPECT_EQ(still.periodMs, 6 + 2 * kReportRoundTripMs + 1 + 5);
}

// The synchronised thread, the mouse's own thread and their sender over the virtual mouse.
class LightingThreadsTest : public ::testing::Test {
  protected:
    void SetUp() override { rig_.mouse.SetReportDelay(std::chrono::microseconds(1000)); }
    void TearDown() override {
        for (StopEvent* stop : {&syncStop_, &mouseStop_, &senderStop_}) {
            stop->Set();
        }
        for (std::thread* thread : {&sync_, &mouseThread_, &sender_}) {
            if (thread->joinable()) {
                thread->join();
            }
        }
    }
    void Start(bool withMouseEngine) {
        sync_ = std::thread([this] {
            RunSyncLightThread({block_, {}, {&rig_.channel, &frames_}, {}, nullptr}, syncStop_,
                               {.noDeviceWaitMs = 20, .idleWaitMs = 10});
        });
        if (withMouseEngine) {
            mouseThread_ = std::thread([this] {
                mouse::RunMouseLightThread({rig_.channel, blocks_, shared_}, mouseStop_,
                                           {.startDelayMs = 0, .idleWaitMs = 10});
            });
        }
        sender_ = std::thread(
            [this] { light::RunLightFrameSender(frames_, sink_, senderStop_, "mouse"); });
    }
    void Synchronise(uint8_t mode) {
        const std::array<uint8_t, 8> fields = {mode, 4, 0, 1, 0, 0, 0, 255};
        CDeviceChannel* channels[] = {&rig_.channel};
        StartSync(block_, fields, channels);
    }

    test::VirtualMouseRig rig_;
    mouse::MouseBlocks blocks_;
    SyncBlock block_;
    mouse::MouseLightShared shared_;
    light::LightFrameChannel& frames_ = shared_.frames;
    light::ChannelFrameSink sink_{rig_.channel};
    StopEvent syncStop_, mouseStop_, senderStop_;
    std::thread sync_, mouseThread_, sender_;
};

TEST_F(LightingThreadsTest, SynchronisedBreathingReachesTheMouseAndMode5SendsNothing) {
    Synchronise(5);
    Start(true);  // the mouse's own engine too: it must stay silent while synchronised
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(frames_.Sequence(), 0u);
    EXPECT_TRUE(rig_.mouse.LastLightFrame().empty());
    EXPECT_TRUE(rig_.channel.LightSync());

    Synchronise(2);
    ASSERT_TRUE(
        test::WaitFor([&] { return rig_.mouse.LastLightFrame().size() == kMouseFrameSize; }));
    // Blue only, breathing: never a red or green byte.
    const std::vector<uint8_t> frame = rig_.mouse.LastLightFrame();
    for (size_t i = 0; i < kMouseLeds; ++i) {
        EXPECT_EQ(frame[3 * i], 0);
        EXPECT_EQ(frame[3 * i + 1], 0);
    }
    // Choosing a mode for the mouse ends synchronisation: its own engine takes over.
    mouse::ChooseMouseLightMode(blocks_, rig_.channel, shared_, 0);
    EXPECT_FALSE(rig_.channel.LightSync());
    {
        std::lock_guard lock(blocks_.lightMutex);
        EXPECT_EQ(blocks_.mouseLive[mouse::live::lightMode], 0);
        EXPECT_EQ(blocks_.mouseLive[mouse::live::colourCycle], 255);
    }
    ASSERT_TRUE(test::WaitFor(
        [&] { return rig_.mouse.LastLightFrame().size() == mouse::kMouseFrameSize; }));
}

// Both engines over the virtual mouse while the UI side changes fields, toggles
// synchronisation and reads whole frames. Run under ThreadSanitizer too.
TEST_F(LightingThreadsTest, EnginesRunBesideAReaderWithoutTornFrames) {
    {
        std::lock_guard lock(blocks_.lightMutex);
        blocks_.mouseLive[mouse::live::lightMode] = 0;
        blocks_.mouseLive[mouse::live::lightBrightness] = 3;
        blocks_.mouseLive[mouse::live::colourCycle] = 255;
    }
    Start(true);
    std::atomic<bool> done{false};
    std::atomic<size_t> checked{0};
    std::thread reader([&] {
        while (!done) {
            const light::LightFrame frame = frames_.Latest();
            if (frame.sequence != 0) {
                ASSERT_EQ(frame.leds.size(), kMouseLeds);
                if (frame.bytes.size() == mouse::kMouseFrameSize) {
                    mouse::MouseLeds leds{};
                    std::copy(frame.leds.begin(), frame.leds.end(), leds.begin());
                    const mouse::MouseFrame expected = mouse::BuildMouseFrame(leds);
                    ASSERT_TRUE(std::equal(expected.begin(), expected.end(), frame.bytes.begin()));
                } else {
                    ASSERT_EQ(frame.bytes.size(), kMouseFrameSize);
                }
                ++checked;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (uint8_t round = 0; std::chrono::steady_clock::now() < end; ++round) {
        {
            std::lock_guard lock(blocks_.lightMutex);
            blocks_.mouseLive[mouse::live::lightMode] = static_cast<uint8_t>(round % 7);
            blocks_.mouseLive[mouse::live::lightSpeed] = static_cast<uint8_t>(round % 3);
        }
        shared_.flashRequest = true;
        if (round % 4 == 1) {
            Synchronise(static_cast<uint8_t>(round % 5));
        } else if (round % 4 == 3) {
            rig_.channel.SetLightSync(false);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    done = true;
    reader.join();
    EXPECT_GT(checked.load(), 0u);
    EXPECT_FALSE(rig_.mouse.LastLightFrame().empty());
}

}  // namespace
}  // namespace gmd::sync_light
