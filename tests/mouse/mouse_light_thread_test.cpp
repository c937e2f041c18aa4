// The mouse lighting thread and its sender over the virtual mouse.

#include "mouse/mouse_light_thread.h"

#include <gtest/gtest.h>

#include <thread>

#include "device/command_report.h"
#include "mouse/light_frame_sender.h"
#include "tests/support/virtual_mouse_rig.h"

namespace gmd::mouse {
namespace {

using std::chrono::milliseconds;

size_t LightFramesSent(const emu::EmulatedDevice& mouse) {
    size_t count = 0;
    for (const emu::TrafficRecord& record : mouse.TrafficLog()) {
        count += record.fromHost && record.report[report_byte::kCommand] == 18 ? 1u : 0u;
    }
    return count;
}

class MouseLightThreadTest : public ::testing::Test {
  protected:
    void SetUp() override { rig_.mouse.SetReportDelay(std::chrono::microseconds(1000)); }
    void TearDown() override { Stop(); }

    void SetFields(uint8_t mode, uint8_t speed, uint8_t cycle) {
        std::lock_guard lock(blocks_.lightMutex);
        LiveBlock& live = blocks_.mouseLive;
        live[live::lightMode] = mode;
        live[live::lightBrightness] = 4;
        live[live::lightSpeed] = speed;
        live[live::colourCycle] = cycle;
        live[live::lightRed] = 255;
        live[live::lightGreen] = 0;
        live[live::lightBlue] = 0;
    }
    void Start() {
        rig_.mouse.ClearTrafficLog();
        engine_ = std::thread([this] {
            RunMouseLightThread({rig_.channel, blocks_, shared_}, engineStop_,
                                {.startDelayMs = 0, .idleWaitMs = 10});
        });
        sender_ = std::thread(
            [this] { light::RunLightFrameSender(shared_.frames, sink_, senderStop_, "mouse"); });
    }
    void Stop() {
        engineStop_.Set();
        senderStop_.Set();
        if (engine_.joinable()) {
            engine_.join();
        }
        if (sender_.joinable()) {
            sender_.join();
        }
    }

    test::VirtualMouseRig rig_;
    MouseBlocks blocks_;
    MouseLightShared shared_;
    light::ChannelFrameSink sink_{rig_.channel};
    StopEvent engineStop_;
    StopEvent senderStop_;
    std::thread engine_;
    std::thread sender_;
};

TEST_F(MouseLightThreadTest, FramesOfThreeMillisecondStepsReachTheMouse) {
    SetFields(0, 0, 0);  // 3 ms steps, single colour on the six groups
    Start();
    std::vector<uint8_t> expected(kMouseFrameSize, 0);
    for (size_t i = 0; i < 17; ++i) {
        expected[3 * i] = 254;  // 255 at level 255
    }
    ASSERT_TRUE(test::WaitFor([&] { return rig_.mouse.LastLightFrame() == expected; }));
    ASSERT_TRUE(test::WaitFor([&] { return LightFramesSent(rig_.mouse) >= 5; }));

    // A flash in mode 6 lights the mouse; without one it is dark.
    SetFields(6, 0, 255);
    ASSERT_TRUE(
        test::WaitFor([&] { return rig_.mouse.LastLightFrame() == std::vector<uint8_t>(51, 0); }));
    shared_.flashRequest = true;
    ASSERT_TRUE(test::WaitFor([&] { return !shared_.flashRequest.load(); }));
    ASSERT_TRUE(test::WaitFor([&] {
        const std::vector<uint8_t> frame = rig_.mouse.LastLightFrame();
        if (frame.size() == 51 && frame != std::vector<uint8_t>(51, 0)) {
            return true;
        }
        shared_.flashRequest = true;  // a busy machine may let a whole flash pass unsent
        return false;
    }));
}

TEST_F(MouseLightThreadTest, DetachedOrSynchronisedMouseCostsNothing) {
    SetFields(2, 0, 0);
    rig_.channel.SetConnected(false);
    Start();
    std::this_thread::sleep_for(milliseconds(60));
    EXPECT_EQ(shared_.frames.Sequence(), 0u);
    EXPECT_EQ(LightFramesSent(rig_.mouse), 0u);

    rig_.channel.SetConnected(true);
    rig_.channel.SetLightSync(true);
    std::this_thread::sleep_for(milliseconds(60));
    EXPECT_EQ(shared_.frames.Sequence(), 0u);

    rig_.channel.SetLightSync(false);
    ASSERT_TRUE(test::WaitFor([&] { return LightFramesSent(rig_.mouse) > 0; }));
}

TEST_F(MouseLightThreadTest, BreathingWritesTheEffectPhaseBackAndResetIsTaken) {
    SetFields(4, 0, 0);
    {
        std::lock_guard lock(blocks_.lightMutex);
        blocks_.mouseLive[live::effectPhase] = 2;
    }
    Start();
    // 128 steps of 8 ms bring the position round to 0 once.
    ASSERT_TRUE(test::WaitFor([&] {
        std::lock_guard lock(blocks_.lightMutex);
        return blocks_.mouseLive[live::effectPhase] == 0;
    }));
    shared_.resetRequest = true;
    ASSERT_TRUE(test::WaitFor([&] { return !shared_.resetRequest.load(); }));
}

}  // namespace
}  // namespace gmd::mouse
